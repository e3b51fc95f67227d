#include "updater/updatetransfer.h"

#include "updater/beneath.h"
#include "updater/ftpclient.h"
#include "updater/ftplistener.h"
#include "updater/paths.h"
#include "updater/updaterstrings.h"
#include "updater/webfiledownload.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace vela {

namespace {

// A list names sub-folders with backslashes; a URL and an FTP path use "/".
std::string slashed(std::string path) {
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

// The folders of `path` below the installation folder, made with no link
// followed on the way; false when one is a link (or cannot be made).
bool makeParentFolders(const std::string& installFolder, const std::string& path) {
    std::string name;
    const int folder = openParentBeneath(installFolder, path, true, name);
    if (folder < 0)
        return false;
    ::close(folder);
    return true;
}

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

void appendEncoded(std::string& out, unsigned char c) {
    static const char digits[] = "0123456789ABCDEF";
    out += '%';
    out += digits[c >> 4];
    out += digits[c & 15];
}

constexpr int64_t kDeadlineBaseMs = 60000;
constexpr int64_t kDeadlineBytesPerSecond = 32 * 1024;

} // namespace

int64_t transferDeadlineMs(int64_t listedBytes) {
    int64_t base = kDeadlineBaseMs;
    int64_t rate = kDeadlineBytesPerSecond;
    if (const char* figures = std::getenv("VELA_UPDATE_DEADLINE")) {
        long long b = 0, r = 0;
        if (std::sscanf(figures, "%lld,%lld", &b, &r) == 2 && b > 0 && r > 0) {
            base = b;
            rate = r;
        }
    }
    const int64_t bytes = listedBytes > 0 ? listedBytes : 0;
    return base + bytes / rate * 1000 + bytes % rate * 1000 / rate;
}

std::string encodeUrlPath(const std::string& name) {
    std::string out;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '/' || isUnreserved(c))
            out += ch;
        else
            appendEncoded(out, c);
    }
    return out;
}

std::string encodeUrlPrefix(const std::string& prefix) {
    static const std::string unsafe = " \"<>\\^`{|}";
    std::string out;
    for (const char ch : prefix) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7f || unsafe.find(ch) != std::string::npos)
            appendEncoded(out, c);
        else
            out += ch;
    }
    return out;
}

TransferTarget transferTarget(const UpdatePlan& plan, size_t index, const std::string& tempFolder) {
    const UpdateEntry& e = plan.entries[index];
    const std::string& name = e.compressed() ? e.serverName : e.pathName;
    TransferTarget t;
    t.localPath = joinPath(tempFolder, name);
    t.serverName = slashed(name);
    t.serverPath = plan.destPrefix + t.serverName;
    t.expectedSize = e.compressed() ? e.compressedSize : e.fileSize;
    return t;
}

class UpdateTransfer::FtpEvents : public FtpListener {
public:
    explicit FtpEvents(UpdateTransfer* owner) : owner_(owner) {}
    void OnConnectResult(bool ok) override {
        owner_->deadline_.stop();
        emit owner_->connectResult(ok);
    }
    void OnFileRecvStart(bool ok, int, const std::string&) override {
        if (!ok)
            fail();
    }
    void OnProgress(int32_t received, int32_t expected) override {
        emit owner_->progress(received, expected != 0 ? expected : owner_->expected_);
    }
    void OnFileRecvComplete(bool ok) override {
        owner_->deadline_.stop();
        if (ok)
            emit owner_->completed(QString::fromStdString(owner_->localPath_));
        else if (owner_->ftp_->overLimit())
            owner_->fail(TransferFault::TooLarge,
                         QString::fromStdString(formatText(Str::STR_DOWNLOAD_TOO_LARGE,
                                                           {fileNamePart(owner_->localPath_)})));
        else
            fail();
    }
    // A refused transfer would otherwise leave the run waiting for ever.
    void OnTransferRefused() override { fail(); }
    void OnDisconnected() override {}

private:
    void fail() {
        owner_->fail(TransferFault::Other, QString::fromUtf8(text(Str::STR_RECEIVE_ERROR).data()));
    }
    UpdateTransfer* owner_;
};

UpdateTransfer::UpdateTransfer(TransportMode mode, ServerSettings server, std::string installFolder,
                               QObject* parent)
    : QObject(parent), mode_(mode), server_(std::move(server)), install_(std::move(installFolder)),
      temp_(vela::tempFolder(install_)) {
    if (mode_.http) {
        web_ = std::make_unique<WebFileDownload>();
        connect(web_.get(), &WebFileDownload::downBlock, this,
                [this](qint64 written, quint32) { emit progress(written, expected_); });
        connect(web_.get(), &WebFileDownload::downComplete, this,
                [this](const QString& path, quint32) { emit completed(path); });
        connect(web_.get(), &WebFileDownload::downFailed, this,
                [this](quint32, const QString& message, int fault) {
                    fail(fault == kWebFaultTooLarge   ? TransferFault::TooLarge
                         : fault == kWebFaultOverdue  ? TransferFault::Overdue
                         : fault == kWebFaultRedirect ? TransferFault::Refused
                                                      : TransferFault::Other,
                         message);
                });
    } else {
        ftpEvents_ = std::make_unique<FtpEvents>(this);
        ftp_ = std::make_unique<FtpClient>(ftpEvents_.get());
        ftp_->setLocalRoot(install_);
    }
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, &UpdateTransfer::deadlinePassed);
}

void UpdateTransfer::fail(TransferFault fault, const QString& message) {
    deadline_.stop();
    fault_ = fault;
    emit failed(message);
}

void UpdateTransfer::deadlinePassed() {
    if (!ftp_)
        return;
    // The connection goes with the transfer; the run ends on this failure.
    ftp_->close();
    if (!localPath_.empty())
        ::unlink(localPath_.c_str());
    fail(TransferFault::Overdue, QString::fromUtf8(text(Str::STR_DEADLINE_PASSED).data()));
}

UpdateTransfer::~UpdateTransfer() {
    ftp_.reset();
    web_.reset();
}

std::string UpdateTransfer::localFileList() const {
    return localFileListPath(temp_, server_.fileListLocation);
}

bool UpdateTransfer::connectServer() {
    if (!ftp_)
        return true;
    localPath_.clear();
    fault_ = TransferFault::None;
    if (!ftp_->connect(server_.ftpAddress, server_.ftpUser, server_.ftpPassword,
                       static_cast<uint16_t>(server_.ftpPort)))
        return false;
    deadline_.start(std::chrono::milliseconds(transferDeadlineMs(0)));
    return true;
}

bool UpdateTransfer::fetchList() {
    if (!makeParentFolders(install_, localFileList()))
        return false;
    // The list has no listed size: its bound and deadline are the reader's.
    return fetch(localFileList(), server_.fileListLocation, 0, kMaxListBytes);
}

bool UpdateTransfer::fetchEntry(const UpdatePlan& plan, size_t index) {
    if (index >= plan.entries.size())
        return false;
    const TransferTarget t = transferTarget(plan, index, temp_);
    // The file's own folders, in the temporary folder and where it goes.
    if (!makeParentFolders(install_, t.localPath) ||
        !makeParentFolders(install_, destinationOf(install_, plan.entries[index])))
        return false;
    const std::string source =
        web_ ? encodeUrlPrefix(plan.destPrefix) + encodeUrlPath(t.serverName) : t.serverPath;
    return fetch(t.localPath, source, t.expectedSize, t.expectedSize);
}

bool UpdateTransfer::fetch(const std::string& localPath, const std::string& serverPath,
                           int64_t expected, int64_t bound) {
    expected_ = expected;
    localPath_ = localPath;
    fault_ = TransferFault::None;
    const int64_t deadline = transferDeadlineMs(bound);
    if (web_) {
        WebFileRequest request;
        request.url = serverPath;
        request.localPath = localPath;
        request.baseFolder = install_;
        request.maxBytes = bound;
        request.deadlineMs = deadline;
        return web_->start(request);
    }
    ftp_->setSizeLimit(bound);
    if (!ftp_->RecvFile(localPath, serverPath))
        return false;
    deadline_.start(std::chrono::milliseconds(deadline));
    return true;
}

void UpdateTransfer::close() {
    deadline_.stop();
    if (ftp_)
        ftp_->close();
}

} // namespace vela
