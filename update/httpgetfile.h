#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <vector>

#include <atomic>
#include <memory>

namespace kamelo::update {

// A small HTTP file fetcher: libcurl on a thread of its own per request,
// reporting through queued signals under the names the update check has
// always used. The file appears at its path only when the whole body
// arrived with a status below 400; until then it is written beside it.
class HttpGetFile : public QObject {
    Q_OBJECT
public:
    // The "request ended" notification's number.
    static constexpr int kResultMessage = 1032;

    explicit HttpGetFile(QObject* parent = nullptr);
    // Running requests are told to stop; they never reach this object again.
    ~HttpGetFile() override;

    // Starts a download of url into localPath. Returns the request number,
    // or 0 when the URL (999 characters) or agent (99) is too long or the
    // file cannot be created. byteLimit -1: no limit; reaching it ends the
    // request as a success.
    int start(const QString& url, const QString& localPath,
              const QString& agent = QStringLiteral("HttpGetFile"), qint64 byteLimit = -1);

    // Downloads running in the process.
    static int runningCount();

signals:
    // WM_HTTPGETFILE_START: the total size in bytes (-1 when unknown).
    void httpGetFileStart(int request, qint64 total);
    // WM_HTTPGETFILE_PROGRESS: the bytes received so far, after each block.
    void httpGetFileProgress(int request, qint64 received);
    // 1032: 1 success, 0 failure, with the reason of a failure and, when
    // the server answered with an error status (404 and the like), that
    // status; 0 when no server answered.
    void httpGetFileResult(int request, int result, const QString& reason, int httpStatus);

private:
    std::shared_ptr<std::atomic<bool>> stop_;
    // The transfers still running: ended and waited for when this goes, so
    // that the program never leaves while one still uses Qt or libcurl.
    std::vector<QPointer<QThread>> threads_;
};

} // namespace kamelo::update
