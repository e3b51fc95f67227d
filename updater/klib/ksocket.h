#pragma once

#include "updater/klib/ksockmsgque.h"

#include <QPointer>

#include <cstdint>
#include <memory>
#include <string>

class QObject;

namespace vela {

class KSocketListener;
class KSocketWnd;

// Events a socket can be watched for (the asynchronous select's bits).
enum KSocketEvent {
    KSE_READ = 0x01,
    KSE_WRITE = 0x02,
    KSE_OOB = 0x04,
    KSE_ACCEPT = 0x08,
    KSE_CONNECT = 0x10,
    KSE_CLOSE = 0x20,
    KSE_ALL = 0x3F,
};

// Error codes as the socket layer reports them (the Windows Sockets numbers
// that callers compare with).
enum KSocketError {
    KSOCK_EINVAL = 10022,
    KSOCK_EWOULDBLOCK = 10035,
    KSOCK_ENOTSOCK = 10038,
    KSOCK_ECONNABORTED = 10053,
    KSOCK_ECONNRESET = 10054,
    KSOCK_ENOTCONN = 10057,
    KSOCK_ETIMEDOUT = 10060,
    KSOCK_ECONNREFUSED = 10061,
};

// Maps an errno value to the codes above (10000 + errno for the others).
int ksocketError(int err);

// A non-blocking socket driven by the event loop of the thread that owns it:
// sends are queued and resumed when the socket can take more; received data
// is queued in blocks; events come back as notices to a listener or, with
// none, to a window object's slot onKSocketNotify(void*, int, int).
class KSocket {
public:
    KSocket();
    virtual ~KSocket();
    KSocket(const KSocket&) = delete;
    KSocket& operator=(const KSocket&) = delete;

    // Closes any open socket, makes a new one bound to the local port and
    // address (any address when empty) and watches the events of `mask`.
    bool create(uint16_t port = 0, int type = 1 /* stream */, int mask = KSE_ALL,
                const std::string& localAddress = {});
    // Starts a non-blocking connect to a dotted address or a host name.
    bool connect(const std::string& host, uint16_t port);
    // Queues a copy of the data and sends what the socket takes now.
    bool send(const void* data, uint32_t length);
    void close();

    uint32_t available() const { return receive_.size(); }
    bool read(void* dest, uint32_t length, bool consume) {
        return receive_.read(dest, length, consume);
    }
    bool skip(uint32_t length) { return receive_.skip(length); }
    KSockMsgQue& receiveQueue() { return receive_; }
    uint32_t pendingSendBytes() const { return send_.size(); }

    void setListener(KSocketListener* listener) { listener_ = listener; }
    void setWindow(QObject* window);

    int handle() const { return handle_; }
    int lastError() const { return lastError_; }
    int connectState() const { return connectState_; }
    bool isConnected() const { return connected_; }
    bool isSendPending() const { return sendPending_; }
    const std::string& peerAddress() const { return peerAddress_; }
    int64_t lastSendTick() const { return lastSendTick_; }
    int64_t lastReceiveTick() const { return lastReceiveTick_; }

    // Live sockets of the process.
    static int liveCount();

    // One event from the notifier: KSE_* bit and its error code.
    void dispatchEvent(int event, int error);
    // Set by OnReceive when a read returned the peer's close.
    bool peerClosed() const { return peerClosed_; }

protected:
    virtual void OnAccept(int error);
    virtual void OnClose(int error);
    virtual void OnConnect(int error);
    virtual void OnOutOfBandData(int error);
    virtual void OnReceive(int error);
    virtual void OnSend(int error);

    void raise(int code, int error);

private:
    // Sends queued bytes until the queue is empty or the socket is full.
    bool flush();

    int handle_ = -1;
    std::unique_ptr<KSocketWnd> window_;
    KSockMsgQue receive_;
    KSockMsgQue send_;
    bool created_ = false;
    int mask_ = 0;
    int64_t lastSendTick_ = 0;
    int64_t lastReceiveTick_ = 0;
    int lastError_ = 0;
    int connectState_ = 0;
    QPointer<QObject> notifyWindow_;
    KSocketListener* listener_ = nullptr;
    bool connected_ = false;
    bool sendPending_ = false;
    bool peerClosed_ = false;
    std::string peerAddress_;
};

} // namespace vela
