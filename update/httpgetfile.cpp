#include "httpgetfile.h"

#include "update/core/updaterules.h"
#include "updater/redirectpolicy.h"

#include <QPointer>
#include <QThread>

#include <curl/curl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <unistd.h>

namespace kamelo::update {

namespace {

std::atomic<int> gRunning{0};
std::mutex gCounterLock;
int gCounter = 0;

int nextRequest() {
    std::lock_guard<std::mutex> lock(gCounterLock);
    gCounter = (gCounter + 1) % 2147483647;
    if (gCounter == 0)
        gCounter = 1;
    return gCounter;
}

// Lives in the caller's thread; the worker emits through it, so a fetcher
// destroyed meanwhile simply has no connections left.
class Relay : public QObject {
public:
    using QObject::QObject;
};

struct Job {
    int request = 0;
    std::string url;
    std::string agent;
    std::string path;
    std::string tmp;
    int fd = -1;
    int64_t limit = -1;
    int64_t received = 0;
    bool startSent = false;
    bool writeFailed = false;
    int64_t redirectBody = 0;
    CURL* curl = nullptr;
    std::shared_ptr<std::atomic<bool>> stop;
    QObject* relay = nullptr;
    std::function<void(qint64)> sendStart;
    std::function<void(qint64)> sendProgress;
};

size_t onData(char* data, size_t size, size_t count, void* user) {
    Job& job = *static_cast<Job*>(user);
    size_t n = size * count;
    // A redirect's own body is dropped (and bounded); it is not the file.
    long status = 0;
    curl_easy_getinfo(job.curl, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 300 && status < 400) {
        job.redirectBody += int64_t(n);
        return job.redirectBody > vela::kMaxRedirectBody ? 0 : n;
    }
    if (!job.startSent) {
        curl_off_t total = -1;
        curl_easy_getinfo(job.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &total);
        job.sendStart(total);
        job.startSent = true;
    }
    if (job.limit >= 0 && job.received + int64_t(n) > job.limit)
        n = size_t(job.limit - job.received);
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(job.fd, data + done, n - done);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            job.writeFailed = true;
            return 0;
        }
        done += size_t(w);
    }
    job.received += int64_t(n);
    job.sendProgress(job.received);
    // Reaching the limit ends the request (as a success, see below).
    return n == size * count ? n : 0;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Job*>(user)->stop->load() ? 1 : 0;
}

} // namespace

HttpGetFile::HttpGetFile(QObject* parent)
    : QObject(parent), stop_(std::make_shared<std::atomic<bool>>(false)) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpGetFile::~HttpGetFile() {
    stop_->store(true);
    // The progress callback sees the flag within a second, even while
    // connecting; a transfer that still does not end is left after 5 s.
    for (const QPointer<QThread>& t : threads_)
        if (t)
            t->wait(QDeadlineTimer(5000));
}

int HttpGetFile::runningCount() {
    return gRunning.load();
}

int HttpGetFile::start(const QString& url, const QString& localPath, const QString& agent,
                       qint64 byteLimit) {
    const std::string u = url.toStdString();
    const std::string a = agent.toStdString();
    if (u.size() > kMaxUrlChars || a.size() > kMaxAgentChars || u.empty())
        return 0;
    auto job = std::make_shared<Job>();
    job->path = localPath.toStdString();
    job->tmp = job->path + ".XXXXXX";
    job->fd = ::mkostemp(job->tmp.data(), O_CLOEXEC);
    if (job->fd < 0)
        return 0;
    job->request = nextRequest();
    job->url = u;
    job->agent = a;
    job->limit = byteLimit;
    job->stop = stop_;
    auto* relay = new Relay;
    job->relay = relay;
    const int request = job->request;
    QPointer<HttpGetFile> self(this);
    // Each report is a queued call on the relay's thread that reaches this
    // object only while it exists.
    auto post = [relay, self](std::function<void(HttpGetFile*)> f) {
        QMetaObject::invokeMethod(
            relay,
            [self, f] {
                if (self)
                    f(self.data());
            },
            Qt::QueuedConnection);
    };
    job->sendStart = [post, request](qint64 total) {
        post([request, total](HttpGetFile* h) { emit h->httpGetFileStart(request, total); });
    };
    job->sendProgress = [post, request](qint64 n) {
        post([request, n](HttpGetFile* h) { emit h->httpGetFileProgress(request, n); });
    };
    QThread* thread = QThread::create([job, post] {
        ++gRunning;
        CURL* curl = curl_easy_init();
        job->curl = curl;
        int result = 0;
        int status = 0;
        QString reason;
        if (curl) {
            curl_easy_setopt(curl, CURLOPT_USERAGENT, job->agent.c_str());
            curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
            curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
            // Redirects are followed below, only to the list's scheme and host.
            curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
            curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
            curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
            curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
            curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L);
            // A bounded request has a deadline too: 60 s plus its bound at
            // 32 KB/s, so that a dripping server cannot hold it for ever.
            if (job->limit >= 0)
                curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS,
                                 static_cast<long>(60000 + job->limit * 1000 / 32768));
            curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 10240L);
            // Always from the server, never a cache's copy.
            curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
            curl_slist* headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
            headers = curl_slist_append(headers, "Pragma: no-cache");
            curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
            curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onData);
            curl_easy_setopt(curl, CURLOPT_WRITEDATA, job.get());
            curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
            curl_easy_setopt(curl, CURLOPT_XFERINFODATA, job.get());
            curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
            const std::string origin = vela::schemeAndHost(job->url);
            std::string url = job->url;
            CURLcode rc = CURLE_OK;
            bool redirectRefused = false;
            for (int hop = 0;; ++hop) {
                curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
                rc = curl_easy_perform(curl);
                long code = 0;
                curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
                if (rc != CURLE_OK || code < 300 || code >= 400)
                    break;
                char* next = nullptr;
                curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &next);
                if (!vela::mayFollowRedirect(origin, next) || hop + 1 >= vela::kMaxRedirects) {
                    // The server answered, but not with the list.
                    redirectRefused = true;
                    status = int(code);
                    break;
                }
                url = next;
            }
            const bool limitReached = job->limit >= 0 && job->received >= job->limit &&
                                      rc == CURLE_WRITE_ERROR && !job->writeFailed;
            if (redirectRefused) {
                reason = QStringLiteral("redirect refused");
            } else if (rc == CURLE_OK || limitReached) {
                result = 1;
            } else if (job->writeFailed) {
                reason = QString::fromUtf8(std::strerror(errno));
            } else {
                reason = QString::fromUtf8(curl_easy_strerror(rc));
                if (rc == CURLE_HTTP_RETURNED_ERROR) {
                    long code = 0;
                    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
                    status = static_cast<int>(code);
                }
            }
            curl_slist_free_all(headers);
            curl_easy_cleanup(curl);
        }
        if (!job->startSent)
            job->sendStart(-1);
        if (result == 1 && ::fsync(job->fd) != 0) {
            result = 0;
            reason = QString::fromUtf8(std::strerror(errno));
        }
        ::close(job->fd);
        if (result == 1 && ::rename(job->tmp.c_str(), job->path.c_str()) != 0) {
            result = 0;
            reason = QString::fromUtf8(std::strerror(errno));
        }
        if (result != 1)
            ::unlink(job->tmp.c_str());
        const int request = job->request;
        post([request, result, reason, status](HttpGetFile* h) {
            emit h->httpGetFileResult(request, result, reason, status);
        });
        job->relay->deleteLater();
        --gRunning;
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    std::erase_if(threads_, [](const QPointer<QThread>& t) { return t.isNull(); });
    threads_.emplace_back(thread);
    thread->start();
    return request;
}

} // namespace kamelo::update
