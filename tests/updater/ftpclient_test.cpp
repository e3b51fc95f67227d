#include "serverprocess.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"
#include "updater/ftpclient.h"
#include "updater/ftplistener.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace vela;
using kamelo::test::readFile;
using kamelo::test::writeFile;

namespace {

struct RecordingListener : FtpListener {
    std::vector<std::string> events;
    int connectResult = -1;
    int complete = -1;
    int recvEnd = -1;
    bool disconnected = false;
    bool refused = false;
    int32_t lastReceived = 0;
    int32_t lastExpected = 0;
    int progressCount = 0;
    std::vector<std::string> replies;
    std::function<void(bool)> onConnect;

    void OnConnectResult(bool ok) override {
        connectResult = ok;
        events.push_back(ok ? "connect 1" : "connect 0");
        if (onConnect)
            onConnect(ok);
    }
    void OnDisconnected() override { disconnected = true; }
    void OnFileRecvStart(bool ok, int, const std::string& text) override {
        events.push_back("start " + std::to_string(ok) + text);
    }
    void OnProgress(int32_t received, int32_t expected) override {
        lastReceived = received;
        lastExpected = expected;
        ++progressCount;
    }
    void OnFileRecvEnd(bool ok) override {
        recvEnd = ok;
        events.push_back("end " + std::to_string(ok));
    }
    void OnFileRecvComplete(bool ok) override {
        complete = ok;
        events.push_back("complete " + std::to_string(ok));
    }
    void OnReplyLine(const std::string& line) override { replies.push_back(line); }
    void OnTransferRefused() override {
        refused = true;
        events.push_back("refused");
    }
};

std::string patterned(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 2654435761u) >> 13);
    return data;
}

class FtpServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        vela::test::ensureCoreApplication();
        if (!vela::test::pythonHasModule("pyftpdlib"))
            GTEST_SKIP() << "python3-pyftpdlib is not installed (scripts/install-deps.sh)";
        std::string why;
        ASSERT_TRUE(
            server.start({vela::test::systemPython(), vela::test::serverScript("ftpserver.py"),
                          root.path(), "kim", "secret"},
                         why))
            << why;
    }
    kamelo::test::Watchdog watchdog{120};
    kamelo::test::ScratchDir root;
    kamelo::test::ScratchDir local;
    vela::test::ServerProcess server;
};

} // namespace

TEST_F(FtpServerTest, DownloadsFilesByteIdenticalOneAfterAnother) {
    const std::string big = patterned(5 * 1024 * 1024 + 123);
    writeFile(root.file("pub/big.bin"), big);
    writeFile(root.file("pub/list.ini"), "[GENERAL]\r\nFILE_COUNT=1\r\n");
    RecordingListener listener;
    FtpClient client(&listener);
    ASSERT_TRUE(client.connect("127.0.0.1", "kim", "secret", static_cast<uint16_t>(server.port())));
    EXPECT_FALSE(client.connect("127.0.0.1", "kim", "secret", 1)); // already connecting
    vela::test::spinUntil([&] { return listener.connectResult != -1; });
    ASSERT_EQ(listener.connectResult, 1);
    EXPECT_EQ(client.controlMode(), FCM_LOGGED_IN);

    ASSERT_TRUE(client.RecvFile(local.file("big.bin"), "/pub/big.bin"));
    EXPECT_FALSE(client.RecvFile(local.file("other"), "/pub/list.ini")); // one at a time
    vela::test::spinUntil([&] { return listener.complete != -1; });
    EXPECT_EQ(listener.complete, 1);
    EXPECT_EQ(client.receiveMode(), FRM_IDLE);
    EXPECT_EQ(client.dataAddress(), "127.0.0.1");
    // This server's transfer reply names no size, so none is expected.
    EXPECT_GE(listener.progressCount, 1);
    EXPECT_EQ(listener.lastReceived, static_cast<int32_t>(big.size()));
    EXPECT_EQ(listener.lastExpected, 0);
    EXPECT_TRUE(readFile(local.file("big.bin")) == big);

    listener.complete = -1;
    ASSERT_TRUE(client.RecvFile(local.file("list.ini"), "/pub/list.ini"));
    vela::test::spinUntil([&] { return listener.complete != -1; });
    EXPECT_EQ(listener.complete, 1);
    EXPECT_EQ(readFile(local.file("list.ini")), "[GENERAL]\r\nFILE_COUNT=1\r\n");

    client.close();
    EXPECT_TRUE(listener.disconnected);
    EXPECT_EQ(client.controlMode(), FCM_NONE);
}

TEST_F(FtpServerTest, WrongPasswordIsARefusedLogin) {
    RecordingListener listener;
    FtpClient client(&listener);
    ASSERT_TRUE(client.connect("127.0.0.1", "kim", "wrong", static_cast<uint16_t>(server.port())));
    vela::test::spinUntil([&] { return listener.connectResult != -1; });
    EXPECT_EQ(listener.connectResult, 0);
    EXPECT_EQ(client.controlMode(), FCM_NONE);
    EXPECT_FALSE(client.RecvFile(local.file("x"), "/x"));
}

TEST_F(FtpServerTest, MissingServerFileFailsTheDownload) {
    RecordingListener listener;
    FtpClient client(&listener);
    ASSERT_TRUE(client.connect("127.0.0.1", "kim", "secret", static_cast<uint16_t>(server.port())));
    vela::test::spinUntil([&] { return listener.connectResult != -1; });
    ASSERT_EQ(listener.connectResult, 1);
    ASSERT_TRUE(client.RecvFile(local.file("none"), "/no/such.file"));
    vela::test::spinUntil([&] { return listener.complete != -1 || listener.refused; });
    EXPECT_EQ(listener.complete, 0);
    client.close();
}

TEST(FtpClientNoServer, RefusedConnectionReportsConnectFailure) {
    vela::test::ensureCoreApplication();
    kamelo::test::Watchdog watchdog{60};
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    RecordingListener listener;
    FtpClient client(&listener);
    ASSERT_TRUE(client.connect("127.0.0.1", "kim", "secret", ntohs(a.sin_port)));
    vela::test::spinUntil([&] { return listener.connectResult != -1; });
    EXPECT_EQ(listener.connectResult, 0);
}

namespace {

// A tiny FTP server that plays a fixed dialogue on its own thread, so that
// replies can be split, joined and ordered against the data connection.
class ScriptedPeer {
public:
    ScriptedPeer() { control_ = listenAny(controlPort_); }
    ~ScriptedPeer() {
        finish();
        for (int fd : {control_, conn_, dataListen_, data_})
            if (fd >= 0)
                ::close(fd);
    }
    uint16_t port() const { return controlPort_; }
    // Waits for the script to end, so what it recorded can be read: QUIT
    // may still be on its way when the client reports the transfer done.
    void finish() {
        if (thread_.joinable())
            thread_.join();
    }
    void run(std::function<void(ScriptedPeer&)> script) {
        thread_ = std::thread([this, script] {
            conn_ = ::accept(control_, nullptr, nullptr);
            script(*this);
        });
    }
    void send(const std::string& bytes) { ::send(conn_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    void pause() { std::this_thread::sleep_for(std::chrono::milliseconds(150)); }
    // Reads one command line; records it.
    std::string command() {
        std::string line;
        char c;
        while (::recv(conn_, &c, 1, 0) == 1) {
            if (c == '\n')
                break;
            if (c != '\r')
                line += c;
        }
        commands.push_back(line);
        return line;
    }
    std::string passiveReply() {
        dataListen_ = listenAny(dataPort_);
        return "227 Entering Passive Mode (127,0,0,1," + std::to_string(dataPort_ / 256) + "," +
               std::to_string(dataPort_ % 256) + ")\r\n";
    }
    void acceptData() { data_ = ::accept(dataListen_, nullptr, nullptr); }
    void sendData(const std::string& bytes) {
        ::send(data_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    void closeData() {
        ::close(data_);
        data_ = -1;
    }
    std::vector<std::string> commands;

private:
    static int listenAny(uint16_t& port) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd, 2);
        socklen_t len = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        return fd;
    }
    int control_ = -1, conn_ = -1, dataListen_ = -1, data_ = -1;
    uint16_t controlPort_ = 0, dataPort_ = 0;
    std::thread thread_;
};

void login(ScriptedPeer& p) {
    // A multi-line greeting split inside a line, then two replies joined.
    p.send("220-Welcome to the scripted\r\n220 ser");
    p.pause();
    p.send("ver ready\r\n");
    p.command();
    p.send("331 Password required\r\n");
    p.command();
    p.send("230 Logged in\r\n");
}

void transferStart(ScriptedPeer& p, const std::string& body) {
    p.command(); // TYPE I
    p.send("200 Type set to I\r\n");
    p.command(); // PASV
    p.send("227 Entering Passive Mode, no address today\r\n");
    p.command(); // PASV again
    p.send(p.passiveReply());
    p.command(); // RETR
    p.acceptData();
    p.send("150 Opening BINARY mode data connection (" + std::to_string(body.size()) +
           " bytes)\r\n");
    p.sendData(body.substr(0, body.size() / 2));
    p.pause();
    p.sendData(body.substr(body.size() / 2));
}

class ScriptedTest : public ::testing::Test {
protected:
    void SetUp() override { vela::test::ensureCoreApplication(); }
    void download(ScriptedPeer& peer) {
        listener.onConnect = [&](bool ok) {
            if (ok) {
                EXPECT_TRUE(client.RecvFile(local.file("got.bin"), "/pub/a.bin"));
            }
        };
        ASSERT_TRUE(client.connect("127.0.0.1", "kim", "secret", peer.port()));
        vela::test::spinUntil(
            [&] { return listener.complete != -1 || listener.connectResult == 0; });
        client.close();
    }
    kamelo::test::Watchdog watchdog{60};
    kamelo::test::ScratchDir local;
    RecordingListener listener;
    FtpClient client{&listener};
    const std::string body = patterned(300000);
};

} // namespace

TEST_F(ScriptedTest, CompletionReplyBeforeTheDataConnectionCloses) {
    ScriptedPeer peer;
    peer.run([&](ScriptedPeer& p) {
        login(p);
        transferStart(p, body);
        p.pause();
        p.send("226 Transfer complete\r\n");
        p.pause();
        p.closeData();
        p.command(); // QUIT
    });
    download(peer);
    EXPECT_EQ(listener.complete, 1);
    EXPECT_TRUE(readFile(local.file("got.bin")) == body);
    EXPECT_EQ(listener.lastExpected, 300000);
    EXPECT_EQ(listener.replies.front(), "220-Welcome to the scripted");
    peer.finish();
    EXPECT_EQ(peer.commands, (std::vector<std::string>{"USER kim", "PASS secret", "TYPE I", "PASV",
                                                       "PASV", "RETR /pub/a.bin", "QUIT"}));
}

TEST_F(ScriptedTest, DataConnectionClosesBeforeTheCompletionReply) {
    ScriptedPeer peer;
    peer.run([&](ScriptedPeer& p) {
        login(p);
        transferStart(p, body);
        p.closeData();
        p.pause();
        p.send("226 Transfer complete\r\n");
        p.command(); // QUIT
    });
    download(peer);
    EXPECT_EQ(listener.complete, 1);
    // The data connection's end was seen first (unless the machine was so
    // busy that both arrived in one pass of the event loop).
    EXPECT_NE(listener.recvEnd, 0);
    EXPECT_TRUE(readFile(local.file("got.bin")) == body);
}

TEST_F(ScriptedTest, RefusedUserNameEndsTheLogin) {
    ScriptedPeer peer;
    peer.run([&](ScriptedPeer& p) {
        p.send("220 ready\r\n");
        p.command();
        p.send("530 Not allowed\r\n");
    });
    ASSERT_TRUE(client.connect("127.0.0.1", "kim", "secret", peer.port()));
    vela::test::spinUntil([&] { return listener.connectResult != -1; });
    EXPECT_EQ(listener.connectResult, 0);
}
