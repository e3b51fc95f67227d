#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vela {

// One file to fetch by URL.
struct WebFileRequest {
    std::string url;
    // A path without ":" that is not absolute is taken relative to
    // `baseFolder` (the installation folder when empty).
    std::string localPath;
    uint32_t cookie = 0;
    std::string baseFolder;
    // A file of certificate authorities to trust instead of the system's
    // (a server with its own authority); empty for the system's.
    std::string extraCaFile;
    // The most bytes the body may hold: the byte past it ends the download
    // as failed and the partial file is removed. Negative: no bound.
    int64_t maxBytes = -1;
    // The whole transfer's time in milliseconds, redirects included; 0 for
    // no limit beyond the stalled-server one.
    int64_t deadlineMs = 0;
};

// Why a download failed.
enum WebFileFault : int {
    kWebFaultOther = 0,
    kWebFaultTooLarge = 1, // the body passed maxBytes
    kWebFaultOverdue = 2,  // the deadline passed
    kWebFaultRedirect = 3, // a redirect to another scheme or host, or too many
};

// Set by the run flow when the window goes away: a running download stops
// at its next block and ends with the completion notice.
std::atomic<int>& webFileAbortFlag();
// Set by a download that obeyed the abort flag.
std::atomic<int>& webFileStoppedMarker();

// Blocks a download reads and writes at a time.
inline constexpr size_t kWebFileBlockBytes = 4096;

// The window side of web file downloads: runs one download at a time on a
// worker thread and delivers its notices as signals on this object's
// thread. The worker waits until each notice has been handled, as it would
// for a sent window message.
class WebFileDownload : public QObject {
    Q_OBJECT
public:
    explicit WebFileDownload(QObject* parent = nullptr);
    // Stops a running download and waits for its worker.
    ~WebFileDownload() override;

    // Starts the worker and returns at once; false while one still runs.
    bool start(const WebFileRequest& request);
    bool isRunning() const;

    struct Link;

signals:
    // "WM_WEBFILE_DOWNBLOCK": bytes written so far.
    void downBlock(qint64 written, quint32 cookie);
    // "WM_WEBFILE_DOWNCOMPLETE": the local file is complete (or could not be
    // created, or the abort flag stopped it).
    void downComplete(const QString& localPath, quint32 cookie);
    // "WM_WEBFILE_DOWNFAILED": the URL could not be opened (no connection,
    // certificate refused, an HTTP error status, a refused redirect) or the
    // transfer broke off, grew past its bound or passed its deadline.
    void downFailed(quint32 cookie, const QString& message, int fault);

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> exited;
    };
    std::shared_ptr<Link> link_;
    // Workers past their last notice are joined at the next start.
    std::vector<Worker> workers_;
};

} // namespace vela
