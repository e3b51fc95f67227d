#pragma once

#include "updater/klib/ksocket.h"
#include "updater/klib/ksocketlistener.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace vela {

class FtpListener;

// Control-connection states.
enum FtpControlMode { FCM_NONE = 0, FCM_CONNECTED, FCM_USER_SENT, FCM_PASS_SENT, FCM_LOGGED_IN };
// File-receive states.
enum FtpReceiveMode {
    FRM_IDLE = 0,
    FRM_AFTER_SEND_TYPEI,
    FRM_AFTER_SEND_PASV,
    FRM_FILE_RECEIVING,
    FRM_TRANSFER_END,
    FRM_TRANSFER_WAITCOMPLETE,
};

// Downloads files over FTP in passive binary mode on the owner's event
// loop: one login, then one file after another.
class FtpClient : public KSocketListener {
public:
    explicit FtpClient(FtpListener* listener);
    ~FtpClient() override;
    FtpClient(const FtpClient&) = delete;
    FtpClient& operator=(const FtpClient&) = delete;

    // Starts connecting and logging in; the result comes as OnConnectResult.
    bool connect(const std::string& server, const std::string& user, const std::string& password,
                 uint16_t port);
    // Starts receiving `serverPath` into `localPath` once logged in.
    bool RecvFile(const std::string& localPath, const std::string& serverPath);
    // Local files below `root` are created without following links.
    void setLocalRoot(const std::string& root) { localRoot_ = root; }
    // The most bytes the next files may hold (negative: no bound): the byte
    // past it ends the transfer as failed and removes the partial file.
    void setSizeLimit(int64_t maxBytes) { maxBytes_ = maxBytes; }
    // The last transfer ended because it grew past the size limit.
    bool overLimit() const { return overLimit_; }
    // Sends "QUIT" and drops both connections.
    void close();

    int controlMode() const { return fcm_; }
    int receiveMode() const { return frm_; }
    const std::string& lastReply() const { return lastReply_; }
    const std::string& dataAddress() const { return dataAddress_; }
    int dataPort() const { return dataPort_; }
    int32_t expectedSize() const { return expected_; }
    int32_t receivedSize() const { return received_; }

    void onSocketNotice(KSocket* socket, int code, int error) override;

private:
    void onControlReceive();
    void DoLogin();
    void DoDownLoad();
    void receiveData();
    void transferEnd();
    void sendCommand(const std::string& command);
    void closeLocalFile();
    void reportRecvEnd(bool ok);
    void reportRecvComplete(bool ok);
    void refuseTransfer();
    void endConnection();
    // A reply that never ends: the connection is dropped as failed.
    void dropEndlessReply();

    std::unique_ptr<KSocket> control_;
    // A control socket dropped from inside its own notice; freed later.
    std::unique_ptr<KSocket> retired_;
    KSocket data_;
    FtpListener* listener_;
    std::string user_;
    std::string password_;
    int replyClass_ = 0;
    std::string lastReply_;
    int dataPort_ = 0;
    std::string dataAddress_;
    std::string localPath_;
    std::string serverPath_;
    int fcm_ = FCM_NONE;
    int frm_ = FRM_IDLE;
    int32_t expected_ = 0;
    int32_t received_ = 0;
    bool serverCompleted_ = false;
    std::FILE* local_ = nullptr;
    int pasvRetries_ = 0;
    std::string localRoot_;
    int64_t maxBytes_ = -1;
    bool overLimit_ = false;
};

} // namespace vela
