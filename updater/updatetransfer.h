#pragma once

#include "updater/serverlist.h"
#include "updater/updateplan.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

namespace vela {

class FtpClient;
class WebFileDownload;

// Where one planned file comes from and goes to.
struct TransferTarget {
    std::string localPath;  // in the temporary folder
    std::string serverPath; // URL (HTTP) or server path (FTP)
    int64_t expectedSize = 0;
};

// The file to fetch for plan entry `index`: the published name (the ".gz"
// one for compressed entries) below the destination prefix, stored under
// the same relative name in the temporary folder.
TransferTarget transferTarget(const UpdatePlan& plan, size_t index, const std::string& tempFolder);

// Fetches the file list and then the planned files, one at a time, over
// the transport of the mode, behind one set of outcomes. The window of the
// run flow drives it; so do the tests.
class UpdateTransfer : public QObject {
    Q_OBJECT
public:
    UpdateTransfer(TransportMode mode, ServerSettings server, std::string installFolder,
                   QObject* parent = nullptr);
    ~UpdateTransfer() override;

    const std::string& tempFolder() const { return temp_; }
    // Where the fetched file list is stored.
    std::string localFileList() const;

    // FTP: starts the login (connectResult follows). HTTP needs none.
    bool connectServer();
    // Starts fetching the file list into the temporary folder.
    bool fetchList();
    // Starts fetching plan entry `index`, creating its folders first.
    bool fetchEntry(const UpdatePlan& plan, size_t index);
    // Ends a connection (FTP "QUIT").
    void close();

signals:
    void connectResult(bool ok);
    // Bytes so far against the expected size (0 when unknown).
    void progress(qint64 received, qint64 expected);
    void completed(const QString& localPath);
    void failed(const QString& message);

private:
    bool fetch(const std::string& localPath, const std::string& serverPath, int64_t expected);

    class FtpEvents;
    TransportMode mode_;
    ServerSettings server_;
    std::string install_;
    std::string temp_;
    int64_t expected_ = 0;
    std::string localPath_;
    std::unique_ptr<WebFileDownload> web_;
    std::unique_ptr<FtpEvents> ftpEvents_;
    std::unique_ptr<FtpClient> ftp_;
};

} // namespace vela
