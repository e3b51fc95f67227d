#include "updater/webfileworker.h"

#include "updater/paths.h"
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

std::string resolveLocalPath(const WebFileRequest& request) {
    const std::string& path = request.localPath;
    if (path.find(':') != std::string::npos || (!path.empty() && path[0] == '/'))
        return path;
    return joinPath(request.baseFolder.empty() ? installFolder() : request.baseFolder, path);
}

struct Transfer {
    const WebFileRequest* request = nullptr;
    const NoticeSender* send = nullptr;
    const std::atomic<bool>* cancelled = nullptr;
    std::string localPath;
    std::FILE* file = nullptr;
    bool fileFailed = false; // could not be created: the body is dropped
    bool opened = false;     // the server answered with the body
    bool aborted = false;    // the abort flag stopped the transfer
    int64_t written = 0;
    int64_t announced = 0; // the total of the last block notice
    std::chrono::steady_clock::time_point lastNotice;

    bool stopRequested() const { return *cancelled || webFileAbortFlag().load() != 0; }

    // The body starts: create the local file anew.
    void open() {
        if (opened)
            return;
        opened = true;
        file = std::fopen(localPath.c_str(), "wb");
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
    t.open();
    if (t.fileFailed)
        return CURL_WRITEFUNC_ERROR;
    for (size_t done = 0; done < length;) {
        size_t block = length - done < kWebFileBlockBytes ? length - done : kWebFileBlockBytes;
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

std::function<void(WebFileDownload*)> failed(uint32_t cookie, const std::string& message) {
    QString text = QString::fromStdString(message);
    return [cookie, text](WebFileDownload* w) { emit w->downFailed(cookie, text); };
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
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
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

    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);

    if (t.aborted) {
        if (t.file)
            std::fclose(t.file);
        if (webFileAbortFlag().load() != 0)
            webFileStoppedMarker() = 1;
        return [path = QString::fromStdString(t.localPath), cookie](WebFileDownload* w) {
            emit w->downComplete(path, cookie);
        };
    }
    if (code == CURLE_OK) {
        t.open(); // an empty body still makes an empty file
        if (!t.fileFailed)
            t.announce(true);
    }
    bool flushed = true;
    if (t.file)
        flushed = std::fclose(t.file) == 0;
    if (code == CURLE_OK && !flushed)
        t.fileFailed = true;

    if (code != CURLE_OK && !t.fileFailed) {
        if (t.opened)
            ::unlink(t.localPath.c_str());
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
