#pragma once

#include <cstdint>
#include <string>

namespace vela {

// What an FtpClient reports to its owner, on the owner's thread. Every
// operation does nothing unless overridden.
class FtpListener {
public:
    virtual ~FtpListener() = default;
    virtual void OnConnectResult(bool /*ok*/) {}
    virtual void OnDisconnected() {}
    virtual void OnFileRecvStart(bool /*ok*/, int /*replyClass*/, const std::string& /*text*/) {}
    virtual void OnFileSendStart(bool /*ok*/) {}
    virtual void OnProgress(int32_t /*received*/, int32_t /*expected*/) {}
    virtual void OnTransferSpeed(int32_t /*bytesPerSecond*/) {}
    virtual void OnFileRecvEnd(bool /*ok*/) {}
    virtual void OnFileRecvComplete(bool /*ok*/) {}
    virtual void OnSpare() {}
    virtual void OnReplyLine(const std::string& /*line*/) {}
    virtual void OnTransferRefused() {}
};

} // namespace vela
