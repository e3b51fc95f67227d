#include "updater/updatetransfer.h"

#include "updater/ftpclient.h"
#include "updater/ftplistener.h"
#include "updater/paths.h"
#include "updater/updaterstrings.h"
#include "updater/webfiledownload.h"

#include <filesystem>

namespace vela {

namespace {

// A list names sub-folders with backslashes; a URL and an FTP path use "/".
std::string slashed(std::string path) {
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

void createParentFolders(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
}

} // namespace

TransferTarget transferTarget(const UpdatePlan& plan, size_t index, const std::string& tempFolder) {
    const UpdateEntry& e = plan.entries[index];
    const std::string& name = e.compressed() ? e.serverName : e.pathName;
    TransferTarget t;
    t.localPath = joinPath(tempFolder, name);
    t.serverPath = plan.destPrefix + slashed(name);
    t.expectedSize = e.compressed() ? e.compressedSize : e.fileSize;
    return t;
}

class UpdateTransfer::FtpEvents : public FtpListener {
public:
    explicit FtpEvents(UpdateTransfer* owner) : owner_(owner) {}
    void OnConnectResult(bool ok) override { emit owner_->connectResult(ok); }
    void OnFileRecvStart(bool ok, int, const std::string&) override {
        if (!ok)
            fail();
    }
    void OnProgress(int32_t received, int32_t expected) override {
        emit owner_->progress(received, expected != 0 ? expected : owner_->expected_);
    }
    void OnFileRecvComplete(bool ok) override {
        if (ok)
            emit owner_->completed(QString::fromStdString(owner_->localPath_));
        else
            fail();
    }
    // A refused transfer would otherwise leave the run waiting for ever.
    void OnTransferRefused() override { fail(); }
    void OnDisconnected() override {}

private:
    void fail() { emit owner_->failed(QString::fromUtf8(text(Str::STR_RECEIVE_ERROR).data())); }
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
                [this](quint32, const QString& message) { emit failed(message); });
    } else {
        ftpEvents_ = std::make_unique<FtpEvents>(this);
        ftp_ = std::make_unique<FtpClient>(ftpEvents_.get());
    }
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
    return ftp_->connect(server_.ftpAddress, server_.ftpUser, server_.ftpPassword,
                         static_cast<uint16_t>(server_.ftpPort));
}

bool UpdateTransfer::fetchList() {
    createParentFolders(localFileList());
    return fetch(localFileList(), server_.fileListLocation, 0);
}

bool UpdateTransfer::fetchEntry(const UpdatePlan& plan, size_t index) {
    if (index >= plan.entries.size())
        return false;
    const TransferTarget t = transferTarget(plan, index, temp_);
    // The file's own folders, in the temporary folder and where it goes.
    createParentFolders(t.localPath);
    createParentFolders(destinationOf(install_, plan.entries[index]));
    return fetch(t.localPath, t.serverPath, t.expectedSize);
}

bool UpdateTransfer::fetch(const std::string& localPath, const std::string& serverPath,
                           int64_t expected) {
    expected_ = expected;
    localPath_ = localPath;
    if (web_) {
        WebFileRequest request;
        request.url = serverPath;
        request.localPath = localPath;
        request.baseFolder = install_;
        return web_->start(request);
    }
    return ftp_->RecvFile(localPath, serverPath);
}

void UpdateTransfer::close() {
    if (ftp_)
        ftp_->close();
}

} // namespace vela
