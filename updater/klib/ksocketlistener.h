#pragma once

namespace vela {

class KSocket;

// The notices a KSocket raises: code and error (0 on success).
enum KSocketNotice {
    KSN_ONCONNECT = 0,
    KSN_ONCLOSE = 1,
    KSN_ONACCEPT = 2,
    KSN_ONOUTOFBANDDATA = 3,
    KSN_ONRECEIVE = 4,
    KSN_ONSENDCOMPLETE = 5,
};

// Receives a socket's notices on the thread that owns the socket.
class KSocketListener {
public:
    virtual ~KSocketListener() = default;
    virtual void onSocketNotice(KSocket* socket, int code, int error) = 0;
};

} // namespace vela
