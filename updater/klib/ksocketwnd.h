#pragma once

#include <QObject>

class QSocketNotifier;

namespace vela {

class KSocket;

// The socket's event source: watches its handle in the event loop and
// hands the events (read, write, out-of-band, connect, close) to it, as an
// asynchronous select would.
class KSocketWnd : public QObject {
    Q_OBJECT
public:
    explicit KSocketWnd(KSocket* socket);
    ~KSocketWnd() override;

    // Starts watching `handle` for the events of `mask`.
    void attach(int handle, int mask);
    // Stops watching (the handle is about to be closed).
    void detach();
    // Watches for writability while connecting or while a send is pending.
    void watchWrite(bool on);

private:
    void onReadable();
    void onWritable();
    void onException();

    KSocket* socket_;
    int handle_ = -1;
    int mask_ = 0;
    QSocketNotifier* read_ = nullptr;
    QSocketNotifier* write_ = nullptr;
    QSocketNotifier* exception_ = nullptr;
};

} // namespace vela
