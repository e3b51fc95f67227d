#include "updater/webfileworker.h"

#include "updater/beneath.h"
#include "updater/paths.h"
#include "updater/redirectpolicy.h"
#include "updater/updaterstrings.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace vela {

namespace {

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string rootOf(const WebFileRequest& request) {
    return request.baseFolder.empty() ? installFolder() : request.baseFolder;
}

std::string resolveLocalPath(const WebFileRequest& request) {
    const std::string& path = request.localPath;
    if (path.find(':') != std::string::npos || (!path.empty() && path[0] == '/'))
        return path;
    return joinPath(rootOf(request), path);
}

struct Transfer {
    const WebFileRequest* request = nullptr;
    const NoticeSender* send = nullptr;
    const std::atomic<bool>* cancelled = nullptr;
    CURL* curl = nullptr;
    std::string localPath;
    std::FILE* file = nullptr;
    bool fileFailed = false; // could not be created: the body is dropped
    bool opened = false;     // the server answered with the body
    bool aborted = false;    // the abort flag stopped the transfer
    bool tooLarge = false;   // the body passed its bound
    int64_t redirectBody = 0;
    int64_t written = 0;
    int64_t announced = 0; // the total of the last block notice
    std::chrono::steady_clock::time_point lastNotice;

    bool stopRequested() const { return *cancelled || webFileAbortFlag().load() != 0; }

    // The body starts: create the local file anew, its folders reached
    // without following links.
    void open() {
        if (opened)
            return;
        opened = true;
        const int fd = createFileBeneath(rootOf(*request), localPath);
        file = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
        if (!file && fd >= 0)
            ::close(fd);
        fileFailed = file == nullptr;
        if (file)
            std::setvbuf(file, nullptr, _IOFBF, 64 * 1024);
    }

    // The block notice, waited for like a sent message. On a fast link the
    // notices of blocks read within one interval are merged into the next:
    // one wait per 4096 bytes would cost more than the transfer itself.
    void announce(bool force) {
        using namespace std::chrono;
        if (written == announced)
            return;
        const auto now = steady_clock::now();
        if (!force && announced != 0 && now - lastNotice < milliseconds(kNoticeIntervalMs))
            return;
        const int64_t total = written;
        const uint32_t cookie = request->cookie;
        (*send)([total, cookie](WebFileDownload* w) { emit w->downBlock(total, cookie); });
        announced = total;
        lastNotice = steady_clock::now();
    }
    static constexpr int kNoticeIntervalMs = 20;
};

size_t onBody(char* data, size_t, size_t length, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    if (!t.opened) {
        // A redirect's own body is dropped; it makes no file.
        long status = 0;
        curl_easy_getinfo(t.curl, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 300 && status < 400) {
            t.redirectBody += static_cast<int64_t>(length);
            return t.redirectBody > kMaxRedirectBody ? CURL_WRITEFUNC_ERROR : length;
        }
    }
    t.open();
    if (t.fileFailed)
        return CURL_WRITEFUNC_ERROR;
    for (size_t done = 0; done < length;) {
        size_t block = length - done < kWebFileBlockBytes ? length - done : kWebFileBlockBytes;
        // The byte past the bound ends the download; nothing of it is kept.
        const int64_t bound = t.request->maxBytes;
        if (bound >= 0 && t.written + static_cast<int64_t>(block) > bound) {
            t.tooLarge = true;
            return CURL_WRITEFUNC_ERROR;
        }
        if (std::fwrite(data + done, 1, block, t.file) != block) {
            t.fileFailed = true;
            return CURL_WRITEFUNC_ERROR;
        }
        done += block;
        t.written += static_cast<int64_t>(block);
        t.announce(false);
        if (t.stopRequested()) {
            t.aborted = true;
            return CURL_WRITEFUNC_ERROR;
        }
    }
    return length;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto& t = *static_cast<Transfer*>(user);
    if (t.stopRequested()) {
        t.aborted = true;
        return 1;
    }
    return 0;
}

bool isCertificateError(CURLcode code) {
    return code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SSL_CACERT_BADFILE ||
           code == CURLE_SSL_CERTPROBLEM || code == CURLE_SSL_CONNECT_ERROR ||
           code == CURLE_SSL_ISSUER_ERROR || code == CURLE_SSL_PINNEDPUBKEYNOTMATCH;
}

std::function<void(WebFileDownload*)> failed(uint32_t cookie, const std::string& message,
                                             int fault = kWebFaultOther) {
    QString text = QString::fromStdString(message);
    return [cookie, text, fault](WebFileDownload* w) { emit w->downFailed(cookie, text, fault); };
}

} // namespace

std::function<void(WebFileDownload*)> runWebFileDownload(const WebFileRequest& request,
                                                         const NoticeSender& send,
                                                         const std::atomic<bool>& cancelled) {
    initialiseCurlOnce();
    Transfer t;
    t.request = &request;
    t.send = &send;
    t.cancelled = &cancelled;
    t.localPath = resolveLocalPath(request);
    const uint32_t cookie = request.cookie;

    CURL* curl = curl_easy_init();
    if (!curl)
        return failed(cookie, std::string(text(Str::STR_CONNECTION_FAILED)));
    t.curl = curl;
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // Redirects are followed here, one by one, and only to the scheme and
    // host asked for: a list's server does not hand its files to another.
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    // An error status is a URL that could not be opened, not a body to keep.
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
    // A server that stops sending ends the download instead of holding it.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    // The body is handled in 4096-byte blocks; the socket itself is read in
    // larger pieces, as a system call per block halves the speed.
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 102400L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    if (!request.extraCaFile.empty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, request.extraCaFile.c_str());

    const auto started = std::chrono::steady_clock::now();
    const std::string origin = schemeAndHost(request.url);
    std::string url = request.url;
    CURLcode code = CURLE_OK;
    long status = 0;
    bool overdue = false;
    int refusedRedirect = 0; // 1 another host, 2 too many
    for (int hop = 0;; ++hop) {
        if (request.deadlineMs > 0) {
            const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - started)
                                   .count();
            const int64_t left = request.deadlineMs - spent;
            if (left <= 0) {
                overdue = true;
                break;
            }
            curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(left));
        }
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        t.redirectBody = 0;
        code = curl_easy_perform(curl);
        status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (code == CURLE_OPERATION_TIMEDOUT && request.deadlineMs > 0)
            overdue = true;
        if (code != CURLE_OK || t.opened || status < 300 || status >= 400)
            break;
        char* next = nullptr;
        curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &next);
        if (!mayFollowRedirect(origin, next)) {
            refusedRedirect = 1;
            break;
        }
        if (hop + 1 >= kMaxRedirects) {
            refusedRedirect = 2;
            break;
        }
        url = next;
    }
    curl_easy_cleanup(curl);

    if (refusedRedirect != 0)
        return failed(cookie, std::string(text(Str::STR_REDIRECT_REFUSED)), kWebFaultRedirect);
    if (t.aborted) {
        if (t.file)
            std::fclose(t.file);
        if (webFileAbortFlag().load() != 0)
            webFileStoppedMarker() = 1;
        return [path = QString::fromStdString(t.localPath), cookie](WebFileDownload* w) {
            emit w->downComplete(path, cookie);
        };
    }
    if (code == CURLE_OK && !overdue) {
        t.open(); // an empty body still makes an empty file
        if (!t.fileFailed)
            t.announce(true);
    }
    bool flushed = true;
    if (t.file)
        flushed = std::fclose(t.file) == 0;
    if (code == CURLE_OK && !flushed)
        t.fileFailed = true;

    if ((code != CURLE_OK || overdue) && !t.fileFailed) {
        if (t.opened)
            ::unlink(t.localPath.c_str());
        if (t.tooLarge)
            return failed(cookie,
                          formatText(Str::STR_DOWNLOAD_TOO_LARGE, {fileNamePart(t.localPath)}),
                          kWebFaultTooLarge);
        if (overdue)
            return failed(cookie, std::string(text(Str::STR_DEADLINE_PASSED)), kWebFaultOverdue);
        if (code == CURLE_HTTP_RETURNED_ERROR)
            return failed(cookie,
                          formatText(Str::STR_HTTP_STATUS_FAILED, {std::to_string(status)}));
        if (isCertificateError(code))
            return failed(cookie, std::string(text(Str::STR_CERTIFICATE_FAILED)));
        if (t.opened)
            return failed(cookie, std::string(text(Str::STR_TRANSFER_BROKEN)));
        return failed(cookie, std::string(text(Str::STR_CONNECTION_FAILED)));
    }
    // Done, or the local file could not be written: the completion notice
    // either way; the run flow finds the missing or short file.
    return [path = QString::fromStdString(t.localPath), cookie](WebFileDownload* w) {
        emit w->downComplete(path, cookie);
    };
}

} // namespace vela
