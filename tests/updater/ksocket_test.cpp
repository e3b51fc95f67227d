#include "serverprocess.h"
#include "tests/support/watchdog.h"
#include "updater/klib/ksocket.h"
#include "updater/klib/ksocketlistener.h"

#include <gtest/gtest.h>

#include <QObject>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace vela;

namespace {

struct Notice {
    int code;
    int error;
};

struct Recorder : KSocketListener {
    std::vector<Notice> notices;
    void onSocketNotice(KSocket*, int code, int error) override {
        notices.push_back({code, error});
    }
    bool has(int code) const {
        for (auto& n : notices)
            if (n.code == code)
                return true;
        return false;
    }
    int errorOf(int code) const {
        for (auto& n : notices)
            if (n.code == code)
                return n.error;
        return -1;
    }
};

// A plain blocking listener on 127.0.0.1 and a free port.
struct Peer {
    int listenFd = -1;
    int fd = -1;
    uint16_t port = 0;
    Peer() {
        listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listenFd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listenFd, 4);
        socklen_t len = sizeof a;
        ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~Peer() {
        if (fd >= 0)
            ::close(fd);
        ::close(listenFd);
    }
    void accept() { fd = ::accept(listenFd, nullptr, nullptr); }
};

class KSocketTest : public ::testing::Test {
protected:
    void SetUp() override { vela::test::ensureCoreApplication(); }
    kamelo::test::Watchdog watchdog{60};
};

class WindowTarget : public QObject {
    Q_OBJECT
public:
    std::vector<Notice> notices;
public slots:
    void onKSocketNotify(void*, int code, int error) { notices.push_back({code, error}); }
};

} // namespace

TEST_F(KSocketTest, ConnectSendReceiveAndClose) {
    Peer peer;
    Recorder rec;
    const int live = KSocket::liveCount();
    {
        KSocket s;
        EXPECT_EQ(KSocket::liveCount(), live + 1);
        EXPECT_FALSE(s.connect("127.0.0.1", peer.port)); // not created yet
        ASSERT_TRUE(s.create(0, SOCK_STREAM, KSE_ALL));
        s.setListener(&rec);
        EXPECT_FALSE(s.send("x", 1)); // not connected
        ASSERT_TRUE(s.connect("127.0.0.1", peer.port));
        EXPECT_EQ(s.connectState(), 1);
        EXPECT_FALSE(s.connect("127.0.0.1", peer.port)); // not idle
        vela::test::spinUntil([&] { return rec.has(KSN_ONCONNECT); });
        EXPECT_EQ(rec.errorOf(KSN_ONCONNECT), 0);
        EXPECT_TRUE(s.isConnected());
        EXPECT_EQ(s.connectState(), 2);
        EXPECT_EQ(s.peerAddress(), "127.0.0.1");
        peer.accept();

        ASSERT_TRUE(s.send("USER kim\r\n", 10));
        EXPECT_TRUE(rec.has(KSN_ONSENDCOMPLETE));
        char got[10];
        ASSERT_EQ(::recv(peer.fd, got, 10, MSG_WAITALL), 10);
        EXPECT_EQ(std::string(got, 10), "USER kim\r\n");

        ::send(peer.fd, "hello", 5, 0);
        vela::test::spinUntil([&] { return rec.has(KSN_ONRECEIVE); });
        vela::test::spinUntil([&] { return s.available() == 5; });
        char buf[6] = {};
        EXPECT_TRUE(s.read(buf, 2, false));
        EXPECT_EQ(std::string(buf, 2), "he");
        EXPECT_EQ(s.available(), 5u);
        EXPECT_TRUE(s.skip(1));
        EXPECT_TRUE(s.read(buf, 4, true));
        EXPECT_EQ(std::string(buf, 4), "ello");
        EXPECT_FALSE(s.read(buf, 1, true));

        ::close(peer.fd);
        peer.fd = -1;
        vela::test::spinUntil([&] { return rec.has(KSN_ONCLOSE); });
        EXPECT_FALSE(s.isConnected());
        s.close();
        EXPECT_EQ(s.handle(), -1);
        EXPECT_EQ(s.connectState(), 0);
    }
    EXPECT_EQ(KSocket::liveCount(), live);
}

TEST_F(KSocketTest, DataAndCloseInOneEventGiveReceiveThenClose) {
    Peer peer;
    Recorder rec;
    KSocket s;
    ASSERT_TRUE(s.create());
    s.setListener(&rec);
    ASSERT_TRUE(s.connect("127.0.0.1", peer.port));
    peer.accept();
    ::send(peer.fd, "last words", 10, 0);
    ::close(peer.fd);
    peer.fd = -1;
    vela::test::spinUntil([&] { return rec.has(KSN_ONCLOSE); });
    std::vector<int> codes;
    for (auto& n : rec.notices)
        codes.push_back(n.code);
    EXPECT_EQ(codes, (std::vector<int>{KSN_ONCONNECT, KSN_ONRECEIVE, KSN_ONCLOSE}));
    EXPECT_EQ(s.receiveQueue().peekAll(), "last words");
}

TEST_F(KSocketTest, RefusedConnectionAndBadNames) {
    uint16_t closedPort;
    {
        Peer gone;
        closedPort = gone.port;
    }
    Recorder rec;
    KSocket s;
    ASSERT_TRUE(s.create());
    s.setListener(&rec);
    ASSERT_TRUE(s.connect("127.0.0.1", closedPort));
    vela::test::spinUntil([&] { return rec.has(KSN_ONCONNECT); });
    EXPECT_EQ(rec.errorOf(KSN_ONCONNECT), KSOCK_ECONNREFUSED);
    EXPECT_FALSE(s.isConnected());

    KSocket named;
    ASSERT_TRUE(named.create());
    EXPECT_FALSE(named.connect("", 21));
    EXPECT_EQ(named.lastError(), KSOCK_EINVAL);
    Peer peer;
    Recorder rec2;
    named.setListener(&rec2);
    ASSERT_TRUE(named.connect("localhost", peer.port));
    vela::test::spinUntil([&] { return rec2.has(KSN_ONCONNECT); });
    EXPECT_EQ(rec2.errorOf(KSN_ONCONNECT), 0);
    EXPECT_EQ(named.peerAddress(), "127.0.0.1");
}

TEST_F(KSocketTest, PartlyAcceptedSendsResumeOnTheNextWriteEvent) {
    Peer peer;
    Recorder rec;
    KSocket s;
    ASSERT_TRUE(s.create());
    int small = 4096;
    ::setsockopt(s.handle(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    s.setListener(&rec);
    ASSERT_TRUE(s.connect("127.0.0.1", peer.port));
    vela::test::spinUntil([&] { return rec.has(KSN_ONCONNECT); });
    peer.accept();
    ::setsockopt(peer.fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);

    std::string data(2 * 1024 * 1024, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7 + i / 4096);
    ASSERT_TRUE(s.send(data.data(), static_cast<uint32_t>(data.size())));
    // The peer reads nothing yet, so the socket cannot have taken it all.
    EXPECT_TRUE(s.isSendPending());
    EXPECT_GT(s.pendingSendBytes(), 0u);
    EXPECT_FALSE(rec.has(KSN_ONSENDCOMPLETE));

    // Room again, so that the rest flows without small-window stalls.
    int large = 4 * 1024 * 1024;
    ::setsockopt(s.handle(), SOL_SOCKET, SO_SNDBUF, &large, sizeof large);
    ::setsockopt(peer.fd, SOL_SOCKET, SO_RCVBUF, &large, sizeof large);
    std::string received;
    std::thread reader([&] {
        char buf[65536];
        while (received.size() < data.size()) {
            ssize_t n = ::recv(peer.fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            received.append(buf, static_cast<size_t>(n));
        }
    });
    vela::test::spinUntil([&] { return rec.has(KSN_ONSENDCOMPLETE); });
    reader.join();
    EXPECT_EQ(s.pendingSendBytes(), 0u);
    EXPECT_FALSE(s.isSendPending());
    EXPECT_TRUE(received == data);
}

TEST_F(KSocketTest, NoticesGoToTheWindowWithoutAListener) {
    Peer peer;
    WindowTarget window;
    KSocket s;
    ASSERT_TRUE(s.create());
    s.setWindow(&window);
    ASSERT_TRUE(s.connect("127.0.0.1", peer.port));
    vela::test::spinUntil([&] { return !window.notices.empty(); });
    EXPECT_EQ(window.notices[0].code, KSN_ONCONNECT);
    EXPECT_EQ(window.notices[0].error, 0);
    // Close forgets the window: nothing arrives afterwards.
    s.close();
    EXPECT_EQ(window.notices.size(), 1u);
}

#include "ksocket_test.moc"
