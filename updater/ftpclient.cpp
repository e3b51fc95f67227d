#include "updater/ftpclient.h"

#include "updater/beneath.h"
#include "updater/ftplistener.h"
#include "updater/ftpreply.h"

#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace vela {

namespace {

// A server that keeps answering "PASV" without an address is given up on.
constexpr int kMaxPassiveRetries = 3;
// A reply line longer than this is not an FTP server's.
constexpr uint32_t kMaxReplyBytes = 64 * 1024;

} // namespace

FtpClient::FtpClient(FtpListener* listener) : listener_(listener) {}

FtpClient::~FtpClient() {
    closeLocalFile();
    if (control_)
        control_->close();
    data_.close();
}

bool FtpClient::connect(const std::string& server, const std::string& user,
                        const std::string& password, uint16_t port) {
    if (fcm_ != FCM_NONE)
        return false;
    retired_.reset();
    control_ = std::make_unique<KSocket>();
    if (!control_->create(0, SOCK_STREAM, KSE_ALL)) {
        control_.reset();
        return false;
    }
    control_->setListener(this);
    if (!control_->connect(server, port)) {
        control_->close();
        control_.reset();
        return false;
    }
    user_ = user;
    password_ = password;
    fcm_ = FCM_CONNECTED;
    return true;
}

bool FtpClient::RecvFile(const std::string& localPath, const std::string& serverPath) {
    if (::access(localPath.c_str(), F_OK) == 0 && ::access(localPath.c_str(), W_OK) != 0)
        return false;
    if ((frm_ != FRM_IDLE && frm_ != FRM_TRANSFER_WAITCOMPLETE) || fcm_ != FCM_LOGGED_IN)
        return false;
    sendCommand("TYPE I");
    localPath_ = localPath;
    serverPath_ = serverPath;
    pasvRetries_ = 0;
    overLimit_ = false;
    frm_ = FRM_AFTER_SEND_TYPEI;
    return true;
}

void FtpClient::close() {
    closeLocalFile();
    if (control_ && fcm_ != FCM_NONE) {
        sendCommand("QUIT");
        control_->close();
        retired_ = std::move(control_);
        data_.close();
        fcm_ = FCM_NONE;
        frm_ = FRM_IDLE;
        if (listener_)
            listener_->OnDisconnected();
    }
}

void FtpClient::endConnection() {
    closeLocalFile();
    if (control_) {
        control_->close();
        retired_ = std::move(control_);
    }
    data_.close();
    fcm_ = FCM_NONE;
    frm_ = FRM_IDLE;
}

void FtpClient::sendCommand(const std::string& command) {
    if (!control_)
        return;
    const std::string line = command + "\r\n";
    control_->send(line.data(), static_cast<uint32_t>(line.size()));
}

void FtpClient::onSocketNotice(KSocket* socket, int code, int error) {
    if (control_ && socket == control_.get()) {
        switch (code) {
        case KSN_ONCONNECT:
            if (error != 0) {
                endConnection();
                if (listener_)
                    listener_->OnConnectResult(false);
            } else {
                DoLogin();
            }
            break;
        case KSN_ONRECEIVE:
            onControlReceive();
            break;
        case KSN_ONCLOSE:
            close();
            break;
        default:
            break;
        }
        return;
    }
    if (socket != &data_)
        return;
    switch (code) {
    case KSN_ONCONNECT:
        if (error != 0)
            refuseTransfer();
        break;
    case KSN_ONCLOSE:
        if (frm_ == FRM_FILE_RECEIVING) {
            receiveData();
            frm_ = FRM_TRANSFER_END;
            transferEnd();
        }
        break;
    case KSN_ONRECEIVE:
        if (frm_ == FRM_FILE_RECEIVING)
            DoDownLoad();
        break;
    default:
        break;
    }
}

void FtpClient::onControlReceive() {
    while (control_) {
        KSocket* socket = control_.get();
        auto line = takeReplyLine(socket->receiveQueue());
        if (!line) {
            if (socket->receiveQueue().size() > kMaxReplyBytes)
                dropEndlessReply();
            return;
        }
        lastReply_ = *line;
        if (listener_)
            listener_->OnReplyLine(lastReply_);
        if (control_.get() != socket)
            return;
        if (!isFinalReplyLine(lastReply_))
            continue;
        replyClass_ = replyClass(lastReply_);
        if (fcm_ != FCM_LOGGED_IN)
            DoLogin();
        else if (frm_ != FRM_IDLE)
            DoDownLoad();
        replyClass_ = 0;
    }
}

void FtpClient::DoLogin() {
    const bool positive = replyClass_ == 2 || replyClass_ == 3;
    switch (fcm_) {
    case FCM_CONNECTED:
        if (positive) {
            sendCommand("USER " + user_);
            fcm_ = FCM_USER_SENT;
        }
        break;
    case FCM_USER_SENT:
        if (positive) {
            sendCommand("PASS " + password_);
            fcm_ = FCM_PASS_SENT;
        } else if (replyClass_ != 0) {
            endConnection();
            if (listener_)
                listener_->OnConnectResult(false);
        }
        break;
    case FCM_PASS_SENT:
        if (positive) {
            fcm_ = FCM_LOGGED_IN;
            if (listener_)
                listener_->OnConnectResult(true);
        } else if (replyClass_ != 0) {
            endConnection();
            if (listener_)
                listener_->OnConnectResult(false);
        }
        break;
    default:
        break;
    }
}

void FtpClient::DoDownLoad() {
    const bool positive = replyClass_ >= 1 && replyClass_ <= 3;
    switch (frm_) {
    case FRM_AFTER_SEND_TYPEI:
        if (positive) {
            sendCommand("PASV");
            frm_ = FRM_AFTER_SEND_PASV;
        } else {
            frm_ = FRM_IDLE;
            if (listener_)
                listener_->OnTransferRefused();
        }
        break;
    case FRM_AFTER_SEND_PASV: {
        if (!positive) {
            frm_ = FRM_IDLE;
            if (listener_)
                listener_->OnTransferRefused();
            break;
        }
        auto passive = parsePassiveReply(lastReply_);
        if (!passive) {
            if (++pasvRetries_ > kMaxPassiveRetries) {
                frm_ = FRM_IDLE;
                if (listener_)
                    listener_->OnTransferRefused();
            } else {
                sendCommand("PASV");
            }
            break;
        }
        dataAddress_ = passive->address;
        dataPort_ = passive->port;
        sendCommand("RETR " + serverPath_);
        frm_ = FRM_FILE_RECEIVING;
        if (data_.create(0, SOCK_STREAM, KSE_ALL)) {
            data_.setListener(this);
            data_.connect(dataAddress_, static_cast<uint16_t>(dataPort_));
        }
        const int fd = createFileBeneath(localRoot_, localPath_);
        local_ = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
        if (!local_ && fd >= 0)
            ::close(fd);
        if (!local_) {
            data_.close();
            frm_ = FRM_IDLE;
            if (listener_)
                listener_->OnFileRecvStart(false, 0, "Can't Open LocalFile");
            break;
        }
        expected_ = 0;
        received_ = 0;
        serverCompleted_ = false;
        if (listener_)
            listener_->OnFileRecvStart(true, replyClass_, "");
        break;
    }
    case FRM_FILE_RECEIVING:
        if (replyClass_ == 4 || replyClass_ == 5) {
            // The server refused or broke off the transfer: nothing more comes.
            closeLocalFile();
            reportRecvComplete(false);
            break;
        }
        if (auto size = parseTransferSize(lastReply_))
            expected_ = *size;
        if (local_) {
            receiveData();
            if (replyClass_ == 2)
                serverCompleted_ = true;
        } else {
            reportRecvEnd(false);
        }
        break;
    case FRM_TRANSFER_END:
        transferEnd();
        break;
    case FRM_TRANSFER_WAITCOMPLETE:
        if (replyClass_ == 2)
            reportRecvComplete(true);
        else if (replyClass_ == 4 || replyClass_ == 5)
            reportRecvComplete(false);
        else
            frm_ = FRM_IDLE;
        break;
    default:
        break;
    }
}

void FtpClient::receiveData() {
    if (!local_)
        return;
    KSockMsgQue& queue = data_.receiveQueue();
    if (queue.empty())
        return;
    std::vector<char> chunk;
    bool failed = false;
    while (!queue.empty()) {
        uint32_t take = queue.size() < 65536 ? queue.size() : 65536;
        // The byte past the limit ends the transfer; nothing of it is kept.
        if (maxBytes_ >= 0 && int64_t(received_) + take > maxBytes_) {
            overLimit_ = true;
            closeLocalFile();
            ::unlink(localPath_.c_str());
            reportRecvComplete(false);
            return;
        }
        chunk.resize(take);
        queue.read(chunk.data(), take, true);
        if (std::fwrite(chunk.data(), 1, take, local_) != take)
            failed = true;
        received_ += static_cast<int32_t>(take);
    }
    if (failed) {
        closeLocalFile();
        reportRecvComplete(false);
        return;
    }
    if (listener_)
        listener_->OnProgress(received_, expected_);
}

void FtpClient::transferEnd() {
    const bool flushed = !local_ || std::fflush(local_) == 0;
    closeLocalFile();
    frm_ = FRM_TRANSFER_WAITCOMPLETE;
    const bool completed = serverCompleted_;
    serverCompleted_ = false;
    if (!flushed)
        reportRecvComplete(false);
    else if (completed)
        reportRecvComplete(true);
    else
        reportRecvEnd(true);
}

void FtpClient::dropEndlessReply() {
    const bool loggedIn = fcm_ == FCM_LOGGED_IN;
    const bool receiving = frm_ != FRM_IDLE;
    endConnection();
    if (!listener_)
        return;
    if (!loggedIn)
        listener_->OnConnectResult(false);
    else if (receiving)
        listener_->OnFileRecvComplete(false);
}

void FtpClient::closeLocalFile() {
    if (local_) {
        std::fclose(local_);
        local_ = nullptr;
    }
}

void FtpClient::reportRecvEnd(bool ok) {
    data_.close();
    frm_ = FRM_TRANSFER_WAITCOMPLETE;
    if (listener_)
        listener_->OnFileRecvEnd(ok);
}

void FtpClient::reportRecvComplete(bool ok) {
    data_.close();
    frm_ = FRM_IDLE;
    if (listener_)
        listener_->OnFileRecvComplete(ok);
}

void FtpClient::refuseTransfer() {
    closeLocalFile();
    data_.close();
    frm_ = FRM_IDLE;
    if (listener_)
        listener_->OnTransferRefused();
}

} // namespace vela
