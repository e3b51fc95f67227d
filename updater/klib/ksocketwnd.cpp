#include "updater/klib/ksocketwnd.h"

#include "updater/klib/ksocket.h"

#include <QSocketNotifier>

#include <cerrno>
#include <sys/socket.h>

namespace vela {

namespace {

void retire(QSocketNotifier*& notifier) {
    if (!notifier)
        return;
    // It may be the notifier whose signal is running now.
    notifier->setEnabled(false);
    notifier->deleteLater();
    notifier = nullptr;
}

} // namespace

KSocketWnd::KSocketWnd(KSocket* socket) : socket_(socket) {
    setObjectName(QStringLiteral("KSOCKET NOTIFICATION WND"));
}

KSocketWnd::~KSocketWnd() {
    detach();
}

void KSocketWnd::attach(int handle, int mask) {
    detach();
    handle_ = handle;
    mask_ = mask;
    if (mask & (KSE_READ | KSE_ACCEPT | KSE_CLOSE)) {
        read_ = new QSocketNotifier(handle, QSocketNotifier::Read, this);
        connect(read_, &QSocketNotifier::activated, this, &KSocketWnd::onReadable);
    }
    write_ = new QSocketNotifier(handle, QSocketNotifier::Write, this);
    write_->setEnabled(false);
    connect(write_, &QSocketNotifier::activated, this, &KSocketWnd::onWritable);
    if (mask & KSE_OOB) {
        exception_ = new QSocketNotifier(handle, QSocketNotifier::Exception, this);
        connect(exception_, &QSocketNotifier::activated, this, &KSocketWnd::onException);
    }
}

void KSocketWnd::detach() {
    retire(read_);
    retire(write_);
    retire(exception_);
    handle_ = -1;
}

void KSocketWnd::watchWrite(bool on) {
    if (write_)
        write_->setEnabled(on);
}

void KSocketWnd::onReadable() {
    const int handle = handle_;
    if (handle < 0 || socket_->connectState() == 1)
        return;
    char probe;
    ssize_t n = ::recv(handle, &probe, 1, MSG_PEEK);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n > 0) {
        if (!(mask_ & KSE_READ)) {
            read_->setEnabled(false);
            return;
        }
        socket_->dispatchEvent(KSE_READ, 0);
        if (handle_ != handle || !socket_->peerClosed())
            return;
    }
    // The peer closed (or reset) the connection: one close event, then quiet.
    if (read_)
        read_->setEnabled(false);
    if (mask_ & KSE_CLOSE)
        socket_->dispatchEvent(KSE_CLOSE, n < 0 ? ksocketError(errno) : 0);
}

void KSocketWnd::onWritable() {
    const int handle = handle_;
    if (handle < 0)
        return;
    if (socket_->connectState() == 1) {
        int err = 0;
        socklen_t len = sizeof err;
        ::getsockopt(handle, SOL_SOCKET, SO_ERROR, &err, &len);
        write_->setEnabled(socket_->isSendPending());
        if (err != 0 && read_)
            read_->setEnabled(false);
        if (mask_ & KSE_CONNECT)
            socket_->dispatchEvent(KSE_CONNECT, ksocketError(err));
        return;
    }
    if (mask_ & KSE_WRITE)
        socket_->dispatchEvent(KSE_WRITE, 0);
    else if (write_)
        write_->setEnabled(false);
}

void KSocketWnd::onException() {
    if (handle_ >= 0)
        socket_->dispatchEvent(KSE_OOB, 0);
}

} // namespace vela
