#include "serverprocess.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"
#include "updater/crc32file.h"
#include "updater/downloadcheck.h"
#include "updater/paths.h"
#include "updater/updaterstrings.h"
#include "updater/updatetransfer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <filesystem>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

using namespace vela;
using kamelo::test::readFile;
using kamelo::test::writeFile;

namespace {

std::string patterned(size_t size, unsigned seed) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>(((i + seed) * 2654435761u) >> 9);
    return data;
}

struct NullHost : PlanHost {
    void entryRefused(const std::string&, const std::string&) override {}
    void setStepLabels(const std::string&, const std::string&, const std::string&) override {}
    bool askWriteRetry(const std::string&) override { return false; }
    void endRun() override {}
    void showNoUpdateNotice(const std::string&) override {}
    void finish() override {}
};

std::string gunzip(const std::string& path) {
    gzFile f = gzopen(path.c_str(), "rb");
    std::string out;
    char buf[65536];
    int n;
    while (f && (n = gzread(f, buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    if (f)
        gzclose(f);
    return out;
}

// A published update: a server folder with the list and the files, and an
// installation with one current, one outdated and one missing file.
class TransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        vela::test::ensureCoreApplication();
        current = patterned(7000, 1);
        fresh = patterned(3 * 1024 * 1024 + 17, 2);
        packed = patterned(90000, 3);
        writeFile(install.file("a.dll"), current);
        writeFile(install.file("c.dll"), "old version");
        writeFile(www.file("files/a.dll"), current);
        writeFile(www.file("files/tools/b.dll"), fresh);
        writeFile(www.file("files/c.dll.gz"), "");
        gzFile gz = gzopen(www.file("files/c.dll.gz").c_str(), "wb");
        gzwrite(gz, packed.data(), static_cast<unsigned>(packed.size()));
        gzclose(gz);
    }
    std::string entry(int n, const std::string& path, const std::string& bytes,
                      const std::string& extra = {}) {
        writeFile(scratch.file("x"), bytes);
        return "[FILE_" + std::to_string(n) + "]\nPATHNAME=" + path +
               "\nFILESIZE=" + std::to_string(bytes.size()) +
               "\nFILECRC=" + std::to_string(*fileCrc32(scratch.file("x"))) + "\n" + extra;
    }
    void publishList(const std::string& general) {
        const int64_t gzSize = static_cast<int64_t>(readFile(www.file("files/c.dll.gz")).size());
        writeFile(
            www.file("list.ini"),
            "[GENERAL]\nFILE_COUNT=3\n" + general + entry(1, "a.dll", current) +
                entry(2, "tools\\b.dll", fresh) +
                entry(3, "c.dll", packed,
                      "COMPRESSTYPE=GZ\nCOMPRESSEDFILESIZE=" + std::to_string(gzSize) + "\n"));
    }

    // Runs list, plan and downloads as the run flow does.
    void runUpdate(TransportMode mode) {
        ServerSettings server = readServerList(install.path(), mode);
        UpdateTransfer transfer(mode, server, install.path() + "/");
        bool done = false, ok = false;
        QString message;
        std::vector<qint64> progress;
        QObject::connect(&transfer, &UpdateTransfer::connectResult, [&](bool good) {
            ok = good;
            done = true;
        });
        QObject::connect(&transfer, &UpdateTransfer::completed, [&](const QString&) {
            ok = true;
            done = true;
        });
        QObject::connect(&transfer, &UpdateTransfer::failed, [&](const QString& m) {
            message = m;
            ok = false;
            done = true;
        });
        QObject::connect(&transfer, &UpdateTransfer::progress,
                         [&](qint64 received, qint64) { progress.push_back(received); });
        auto wait = [&] {
            vela::test::spinUntil([&] { return done; });
            done = false;
        };
        if (mode.ftp) {
            ASSERT_TRUE(transfer.connectServer());
            wait();
            ASSERT_TRUE(ok);
        }
        ASSERT_TRUE(transfer.fetchList());
        wait();
        ASSERT_TRUE(ok) << message.toStdString();
        NullHost host;
        ASSERT_TRUE(buildPlan(transfer.localFileList(), install.path() + "/", mode, plan, host));
        ASSERT_EQ(plan.entries.size(), 2u);
        for (size_t i = 0; i < plan.entries.size(); ++i) {
            progress.clear();
            ASSERT_TRUE(transfer.fetchEntry(plan, i));
            wait();
            ASSERT_TRUE(ok) << message.toStdString();
            EXPECT_FALSE(progress.empty());
        }
        transfer.close();
        const std::string temp = tempFolder(install.path());
        EXPECT_TRUE(readFile(temp + "tools/b.dll") == fresh);
        EXPECT_TRUE(matchesEntry(temp + "tools/b.dll", plan.entries[0]));
        EXPECT_TRUE(readFile(temp + "c.dll.gz") == readFile(www.file("files/c.dll.gz")));
        EXPECT_TRUE(gunzip(temp + "c.dll.gz") == packed);
    }

    kamelo::test::Watchdog watchdog{120};
    kamelo::test::ScratchDir install, www, scratch;
    vela::test::ServerProcess server;
    std::string current, fresh, packed;
    UpdatePlan plan;
};

} // namespace

TEST(TransferTarget, CompressedEntriesFetchTheirGzName) {
    UpdatePlan plan;
    plan.destPrefix = "http://h/files/";
    UpdateEntry plain;
    plain.pathName = "tools\\b.dll";
    plain.fileSize = 10;
    UpdateEntry packed;
    packed.pathName = "c.dll";
    packed.serverName = "c.dll.gz";
    packed.compressType = "GZ";
    packed.fileSize = 100;
    packed.compressedSize = 40;
    plan.entries = {plain, packed};
    TransferTarget a = transferTarget(plan, 0, "/i/__TEMP__/");
    EXPECT_EQ(a.localPath, "/i/__TEMP__/tools/b.dll");
    EXPECT_EQ(a.serverPath, "http://h/files/tools/b.dll");
    EXPECT_EQ(a.expectedSize, 10);
    TransferTarget b = transferTarget(plan, 1, "/i/__TEMP__/");
    EXPECT_EQ(b.localPath, "/i/__TEMP__/c.dll.gz");
    EXPECT_EQ(b.serverPath, "http://h/files/c.dll.gz");
    EXPECT_EQ(b.expectedSize, 40);
}

TEST(TransferTarget, UrlsAreEncodedPerSegmentAndDeadlinesFollowTheSize) {
    EXPECT_EQ(encodeUrlPath("sub dir/b c%.dll"), "sub%20dir/b%20c%25.dll");
    EXPECT_EQ(encodeUrlPath("\xed\x95\x9c/a-b_c.~"), "%ED%95%9C/a-b_c.~");
    EXPECT_EQ(encodeUrlPrefix("http://h:8/my files/%41/"), "http://h:8/my%20files/%41/");
    ::unsetenv("VELA_UPDATE_DEADLINE");
    EXPECT_EQ(transferDeadlineMs(0), 60000);
    EXPECT_EQ(transferDeadlineMs(32 * 1024 * 10), 70000);
    ::setenv("VELA_UPDATE_DEADLINE", "500,1000", 1);
    EXPECT_EQ(transferDeadlineMs(1500), 2000);
    ::unsetenv("VELA_UPDATE_DEADLINE");
}

TEST_F(TransferTest, HttpFetchesTheListAndEveryPlannedFile) {
    if (vela::test::systemPython().empty())
        GTEST_SKIP() << "/usr/bin/python3 is not installed (scripts/install-deps.sh)";
    std::string why;
    ASSERT_TRUE(server.start(
        {vela::test::systemPython(), vela::test::serverScript("httpserver.py"), www.path()}, why))
        << why;
    const std::string base = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
    publishList("DEST_PATH=" + base + "files/\n");
    writeFile(install.file("VUSERVERLIST.INI"), "[SERVER_1]\nHTTPFILE=" + base + "list.ini\n");
    runUpdate(TransportMode{});
}

TEST_F(TransferTest, FtpFetchesTheListAndEveryPlannedFile) {
    if (!vela::test::pythonHasModule("pyftpdlib"))
        GTEST_SKIP() << "python3-pyftpdlib is not installed (scripts/install-deps.sh)";
    std::string why;
    ASSERT_TRUE(server.start({vela::test::systemPython(), vela::test::serverScript("ftpserver.py"),
                              www.path(), "kim", "secret"},
                             why))
        << why;
    publishList("FTP_DEST_PATH=/files/\n");
    writeFile(install.file("VUSERVERLIST.INI"),
              "[SERVER_1]\nFTP_IP=127.0.0.1\nFTP_PORT=" + std::to_string(server.port()) +
                  "\nFTP_USER=kim\nFTP_PASS=secret\nFTPFILE=/list.ini\n");
    runUpdate(TransportMode{false, true});
}

TEST_F(TransferTest, MissingListIsAFailureOverHttp) {
    if (vela::test::systemPython().empty())
        GTEST_SKIP() << "/usr/bin/python3 is not installed (scripts/install-deps.sh)";
    std::string why;
    ASSERT_TRUE(server.start(
        {vela::test::systemPython(), vela::test::serverScript("httpserver.py"), www.path()}, why))
        << why;
    writeFile(install.file("VUSERVERLIST.INI"),
              "[SERVER_1]\nHTTPFILE=http://127.0.0.1:" + std::to_string(server.port()) +
                  "/nothing.ini\n");
    UpdateTransfer transfer(TransportMode{}, readServerList(install.path(), TransportMode{}),
                            install.path() + "/");
    bool failed = false;
    QObject::connect(&transfer, &UpdateTransfer::failed, [&](const QString&) { failed = true; });
    ASSERT_TRUE(transfer.fetchList());
    vela::test::spinUntil([&] { return failed; });
}

// A server file larger than listed stops one byte past the listed size over
// either transport, as a failure, and leaves no partial file.
TEST_F(TransferTest, ABodyPastItsListedSizeFailsOverBothTransports) {
    if (!vela::test::pythonHasModule("pyftpdlib"))
        GTEST_SKIP() << "python3-pyftpdlib is not installed (scripts/install-deps.sh)";
    for (const bool ftp : {false, true}) {
        std::string why;
        server.stop();
        ASSERT_TRUE(server.start(
            ftp ? std::vector<std::string>{vela::test::systemPython(),
                                           vela::test::serverScript("ftpserver.py"), www.path(),
                                           "kim", "secret"}
                : std::vector<std::string>{vela::test::systemPython(),
                                           vela::test::serverScript("httpserver.py"), www.path()},
            why))
            << why;
        const std::string port = std::to_string(server.port());
        const TransportMode mode{!ftp, ftp};
        // tools/b.dll is 3 MB on the server and listed with 1000 bytes.
        writeFile(www.file("list.ini"), "[GENERAL]\nFILE_COUNT=1\nDEST_PATH=http://127.0.0.1:" +
                                            port + "/files/\nFTP_DEST_PATH=/files/\n" +
                                            entry(1, "tools\\b.dll", fresh.substr(0, 1000)));
        writeFile(install.file("VUSERVERLIST.INI"),
                  "[SERVER_1]\nFTP_IP=127.0.0.1\nFTP_PORT=" + port +
                      "\nFTP_USER=kim\nFTP_PASS=secret\nFTPFILE=/list.ini\nHTTPFILE=http://"
                      "127.0.0.1:" +
                      port + "/list.ini\n");
        UpdateTransfer transfer(mode, readServerList(install.path(), mode), install.path() + "/");
        int outcome = 0; // 1 done, 2 failed
        QString message;
        QObject::connect(&transfer, &UpdateTransfer::connectResult,
                         [&](bool ok) { outcome = ok ? 1 : 2; });
        QObject::connect(&transfer, &UpdateTransfer::completed,
                         [&](const QString&) { outcome = 1; });
        QObject::connect(&transfer, &UpdateTransfer::failed, [&](const QString& m) {
            message = m;
            outcome = 2;
        });
        const auto wait = [&] {
            vela::test::spinUntil([&] { return outcome != 0; });
            const int o = outcome;
            outcome = 0;
            return o;
        };
        if (ftp) {
            ASSERT_TRUE(transfer.connectServer());
            ASSERT_EQ(wait(), 1);
        }
        ASSERT_TRUE(transfer.fetchList());
        ASSERT_EQ(wait(), 1) << message.toStdString();
        NullHost host;
        UpdatePlan plan;
        ASSERT_TRUE(buildPlan(transfer.localFileList(), install.path() + "/", mode, plan, host));
        ASSERT_EQ(plan.entries.size(), 1u);
        ASSERT_TRUE(transfer.fetchEntry(plan, 0));
        EXPECT_EQ(wait(), 2) << ftp;
        EXPECT_EQ(transfer.fault(), TransferFault::TooLarge) << ftp;
        EXPECT_EQ(message.toStdString(), formatText(Str::STR_DOWNLOAD_TOO_LARGE, {"b.dll"}));
        EXPECT_FALSE(std::filesystem::exists(tempFolder(install.path()) + "tools/b.dll")) << ftp;
        transfer.close();
    }
}

// An FTP server that never greets, and one that sends too slowly, both end
// in the deadline's failure.
TEST_F(TransferTest, FtpPastItsDeadlineFails) {
    if (!vela::test::pythonHasModule("pyftpdlib"))
        GTEST_SKIP() << "python3-pyftpdlib is not installed (scripts/install-deps.sh)";
    ::setenv("VELA_UPDATE_DEADLINE", "1000,1073741824", 1);
    // Listening, so the connection is made, but nobody ever answers.
    const int silent = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(silent, 4), 0);
    ASSERT_EQ(::getsockname(silent, reinterpret_cast<sockaddr*>(&addr), &length), 0);
    std::string why;
    ASSERT_TRUE(server.start({vela::test::systemPython(), vela::test::serverScript("ftpserver.py"),
                              www.path(), "kim", "secret", "4096"},
                             why))
        << why;
    for (const int port : {int(ntohs(addr.sin_port)), server.port()}) {
        const TransportMode mode{false, true};
        writeFile(install.file("VUSERVERLIST.INI"),
                  "[SERVER_1]\nFTP_IP=127.0.0.1\nFTP_PORT=" + std::to_string(port) +
                      "\nFTP_USER=kim\nFTP_PASS=secret\nFTPFILE=/files/tools/b.dll\n");
        UpdateTransfer transfer(mode, readServerList(install.path(), mode), install.path() + "/");
        bool connected = false, failed = false;
        QObject::connect(&transfer, &UpdateTransfer::connectResult,
                         [&](bool ok) { connected = ok; });
        QObject::connect(&transfer, &UpdateTransfer::failed,
                         [&](const QString&) { failed = true; });
        ASSERT_TRUE(transfer.connectServer());
        vela::test::spinUntil([&] { return connected || failed; });
        // The 3 MB file at 4 KB/s is far past its deadline.
        if (connected) {
            ASSERT_TRUE(transfer.fetchList());
        }
        vela::test::spinUntil([&] { return failed; });
        EXPECT_EQ(transfer.fault(), TransferFault::Overdue) << port;
        EXPECT_FALSE(std::filesystem::exists(transfer.localFileList())) << port;
    }
    ::close(silent);
    ::unsetenv("VELA_UPDATE_DEADLINE");
}
