#pragma once

#include "updater/serverlist.h"
#include "updater/updateplan.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>

namespace vela {

class FtpClient;
class WebFileDownload;

// Where one planned file comes from and goes to.
struct TransferTarget {
    std::string localPath;  // in the temporary folder
    std::string serverName; // the published name, "/" between folders
    std::string serverPath; // destination prefix + server name
    int64_t expectedSize = 0;
};

// The file list is bounded as its reader bounds it.
inline constexpr int64_t kMaxListBytes = 16 * 1024 * 1024;

// How long one transfer may take: 60 s plus its listed size at 32 KB/s.
// The environment variable VELA_UPDATE_DEADLINE="BASE_MS,BYTES_PER_SECOND"
// replaces both figures, so that tests against slow servers end in seconds.
int64_t transferDeadlineMs(int64_t listedBytes);

// A URL path from a published name: each segment percent-encoded (all but
// A-Z a-z 0-9 - . _ ~), "/" kept.
std::string encodeUrlPath(const std::string& name);
// The list's URL prefix with the bytes a URL cannot hold (blanks, controls,
// non-ASCII and the like) percent-encoded; what it already encodes stays.
std::string encodeUrlPrefix(const std::string& prefix);

// Why the last transfer failed.
enum class TransferFault { None, TooLarge, Overdue, Refused, Other };

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
    TransferFault fault() const { return fault_; }

signals:
    void connectResult(bool ok);
    // Bytes so far against the expected size (0 when unknown).
    void progress(qint64 received, qint64 expected);
    void completed(const QString& localPath);
    void failed(const QString& message);

private:
    bool fetch(const std::string& localPath, const std::string& serverPath, int64_t expected,
               int64_t bound);
    void fail(TransferFault fault, const QString& message);
    void deadlinePassed();

    class FtpEvents;
    TransportMode mode_;
    ServerSettings server_;
    std::string install_;
    std::string temp_;
    int64_t expected_ = 0;
    std::string localPath_;
    TransferFault fault_ = TransferFault::None;
    // FTP's deadline (libcurl keeps the HTTP one on the worker).
    QTimer deadline_;
    std::unique_ptr<WebFileDownload> web_;
    std::unique_ptr<FtpEvents> ftpEvents_;
    std::unique_ptr<FtpClient> ftp_;
};

} // namespace vela
