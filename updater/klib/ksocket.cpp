#include "updater/klib/ksocket.h"

#include "updater/klib/ksocketlistener.h"
#include "updater/klib/ksocketwnd.h"

#include <QObject>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace vela {

namespace {

std::atomic<int> liveSockets{0};
// Sends go out in blocks of this size.
constexpr uint32_t kBlockBytes = 4096;
// One receive call takes up to this much: on a fast link a system call per
// 4096 bytes costs more than the data; the queue keeps what each call got
// as one block.
constexpr uint32_t kReceiveBytes = 64 * 1024;
constexpr uint32_t kMaxReceivePerNotice = 16 * kReceiveBytes;

int64_t tickMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

int ksocketError(int err) {
    switch (err) {
    case 0:
        return 0;
    case EINVAL:
        return KSOCK_EINVAL;
    case EAGAIN:
    case EINPROGRESS:
        return KSOCK_EWOULDBLOCK;
    case ENOTSOCK:
    case EBADF:
        return KSOCK_ENOTSOCK;
    case ECONNABORTED:
    case EPIPE:
        return KSOCK_ECONNABORTED;
    case ECONNRESET:
        return KSOCK_ECONNRESET;
    case ENOTCONN:
        return KSOCK_ENOTCONN;
    case ETIMEDOUT:
        return KSOCK_ETIMEDOUT;
    case ECONNREFUSED:
        return KSOCK_ECONNREFUSED;
    default:
        return 10000 + err;
    }
}

KSocket::KSocket() {
    ++liveSockets;
}

KSocket::~KSocket() {
    close();
    window_.reset();
    --liveSockets;
}

int KSocket::liveCount() {
    return liveSockets.load();
}

void KSocket::setWindow(QObject* window) {
    notifyWindow_ = window;
}

bool KSocket::create(uint16_t port, int type, int mask, const std::string& localAddress) {
    close();
    int fd = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        lastError_ = ksocketError(errno);
        return false;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!localAddress.empty() && ::inet_pton(AF_INET, localAddress.c_str(), &local.sin_addr) != 1) {
        ::close(fd);
        lastError_ = KSOCK_EINVAL;
        return false;
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        lastError_ = ksocketError(errno);
        ::close(fd);
        return false;
    }
    handle_ = fd;
    mask_ = mask;
    if (!window_)
        window_ = std::make_unique<KSocketWnd>(this);
    window_->attach(fd, mask);
    created_ = true;
    peerClosed_ = false;
    receive_.clear();
    send_.clear();
    return true;
}

bool KSocket::connect(const std::string& host, uint16_t port) {
    if (!created_ || handle_ < 0 || connectState_ != 0)
        return false;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &peer.sin_addr) != 1) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) {
            lastError_ = KSOCK_EINVAL;
            return false;
        }
        peer.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
        ::freeaddrinfo(found);
    }
    char dotted[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &peer.sin_addr, dotted, sizeof dotted);
    peerAddress_ = dotted;
    if (::connect(handle_, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0 &&
        errno != EINPROGRESS) {
        lastError_ = ksocketError(errno);
        return false;
    }
    lastError_ = KSOCK_EWOULDBLOCK;
    connectState_ = 1;
    window_->watchWrite(true);
    return true;
}

bool KSocket::send(const void* data, uint32_t length) {
    if (!connected_ || handle_ < 0)
        return false;
    send_.push(data, length);
    if (sendPending_)
        return true; // the next write event resumes the queue
    if (!flush())
        return false;
    if (send_.empty())
        raise(KSN_ONSENDCOMPLETE, 0);
    return true;
}

bool KSocket::flush() {
    char block[kBlockBytes];
    while (!send_.empty()) {
        uint32_t take = send_.size() < kBlockBytes ? send_.size() : kBlockBytes;
        send_.read(block, take, false);
        ssize_t sent = ::send(handle_, block, take, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            lastError_ = ksocketError(errno);
            if (lastError_ == KSOCK_EWOULDBLOCK || lastError_ == KSOCK_ECONNRESET) {
                sendPending_ = true;
                window_->watchWrite(true);
                return true;
            }
            if (lastError_ == KSOCK_ECONNABORTED || lastError_ == KSOCK_ENOTSOCK)
                close();
            return false;
        }
        send_.skip(static_cast<uint32_t>(sent));
        lastSendTick_ = tickMs();
    }
    return true;
}

void KSocket::close() {
    listener_ = nullptr;
    notifyWindow_ = nullptr;
    if (handle_ >= 0) {
        if (window_)
            window_->detach();
        ::close(handle_);
    }
    handle_ = -1;
    created_ = false;
    connected_ = false;
    sendPending_ = false;
    lastError_ = 0;
    connectState_ = 0;
    send_.clear();
}

void KSocket::dispatchEvent(int event, int error) {
    switch (event) {
    case KSE_READ:
        OnReceive(error);
        break;
    case KSE_WRITE:
        OnSend(error);
        break;
    case KSE_OOB:
        OnOutOfBandData(error);
        break;
    case KSE_ACCEPT:
        OnAccept(error);
        break;
    case KSE_CONNECT:
        OnConnect(error);
        break;
    case KSE_CLOSE:
        OnClose(error);
        break;
    default:
        break;
    }
}

void KSocket::OnConnect(int error) {
    if (error == 0) {
        connected_ = true;
        connectState_ = 2;
    } else {
        connectState_ = 0;
        lastError_ = error;
    }
    raise(KSN_ONCONNECT, error);
}

void KSocket::OnClose(int error) {
    connected_ = false;
    raise(KSN_ONCLOSE, error);
}

void KSocket::OnAccept(int error) {
    raise(KSN_ONACCEPT, error);
}

void KSocket::OnOutOfBandData(int error) {
    raise(KSN_ONOUTOFBANDDATA, error);
}

void KSocket::OnReceive(int error) {
    if (error != 0 || handle_ < 0)
        return;
    std::vector<char> block(kReceiveBytes);
    bool queued = false;
    // A fast sender is read a bounded piece per notice, so that its owner
    // sees (and can bound) the data before more is queued; the notifier
    // fires again for the rest.
    uint32_t taken = 0;
    while (taken < kMaxReceivePerNotice) {
        ssize_t n = ::recv(handle_, block.data(), block.size(), 0);
        if (n > 0) {
            receive_.push(block.data(), static_cast<uint32_t>(n));
            taken += static_cast<uint32_t>(n);
            queued = true;
            lastReceiveTick_ = tickMs();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            peerClosed_ = true;
        else if (errno != EAGAIN)
            lastError_ = ksocketError(errno);
        break;
    }
    if (queued)
        raise(KSN_ONRECEIVE, 0);
}

void KSocket::OnSend(int error) {
    if (error != 0 || handle_ < 0)
        return;
    sendPending_ = false;
    if (!flush())
        return;
    if (!sendPending_)
        window_->watchWrite(false);
    if (send_.empty())
        raise(KSN_ONSENDCOMPLETE, 0);
}

void KSocket::raise(int code, int error) {
    if (listener_) {
        listener_->onSocketNotice(this, code, error);
    } else if (notifyWindow_) {
        QMetaObject::invokeMethod(notifyWindow_.data(), "onKSocketNotify", Qt::DirectConnection,
                                  Q_ARG(void*, static_cast<void*>(this)), Q_ARG(int, code),
                                  Q_ARG(int, error));
    }
}

} // namespace vela
