#include "serverprocess.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"
#include "updater/updaterstrings.h"
#include "updater/webfiledownload.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <zlib.h>

using namespace vela;
using kamelo::test::readFile;
using kamelo::test::writeFile;

namespace {

std::string patterned(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 2654435761u) >> 11);
    return data;
}

struct Outcome {
    std::vector<qint64> blocks;
    QString completed;
    bool done = false;
    bool failed = false;
    QString message;
    quint32 cookie = 0;
};

void watch(WebFileDownload& d, Outcome& o) {
    QObject::connect(&d, &WebFileDownload::downBlock, [&o](qint64 n, quint32 cookie) {
        o.blocks.push_back(n);
        o.cookie = cookie;
    });
    QObject::connect(&d, &WebFileDownload::downComplete, [&o](const QString& path, quint32 c) {
        o.completed = path;
        o.cookie = c;
        o.done = true;
    });
    QObject::connect(&d, &WebFileDownload::downFailed, [&o](quint32 c, const QString& m) {
        o.failed = true;
        o.message = m;
        o.cookie = c;
        o.done = true;
    });
}

class HttpTest : public ::testing::Test {
protected:
    void SetUp() override {
        vela::test::ensureCoreApplication();
        webFileAbortFlag() = 0;
        webFileStoppedMarker() = 0;
        if (vela::test::systemPython().empty())
            GTEST_SKIP() << "/usr/bin/python3 is not installed (scripts/install-deps.sh)";
    }
    void TearDown() override { webFileAbortFlag() = 0; }
    void startServer(std::vector<std::string> extra = {}) {
        std::vector<std::string> argv = {vela::test::systemPython(),
                                         vela::test::serverScript("httpserver.py"), www.path()};
        argv.insert(argv.end(), extra.begin(), extra.end());
        std::string why;
        ASSERT_TRUE(server.start(argv, why)) << why;
    }
    std::string url(const std::string& path, const char* scheme = "http") const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(server.port()) + path;
    }
    Outcome fetch(const std::string& path, const std::string& local, uint32_t cookie = 0) {
        WebFileDownload d;
        Outcome o;
        watch(d, o);
        WebFileRequest r;
        r.url = url(path);
        r.localPath = local;
        r.cookie = cookie;
        r.baseFolder = out.path();
        EXPECT_TRUE(d.start(r));
        vela::test::spinUntil([&] { return o.done; });
        return o;
    }

    kamelo::test::Watchdog watchdog{120};
    kamelo::test::ScratchDir www;
    kamelo::test::ScratchDir out;
    vela::test::ServerProcess server;
};

} // namespace

TEST_F(HttpTest, DownloadsAFileWithBlockNoticesAndTheCookie) {
    const std::string data = patterned(300 * 1024 + 5);
    writeFile(www.file("files/a.bin"), data);
    startServer();
    Outcome o = fetch("/files/a.bin", out.file("a.bin"), 77);
    ASSERT_FALSE(o.failed) << o.message.toStdString();
    EXPECT_EQ(o.completed.toStdString(), out.file("a.bin"));
    EXPECT_EQ(o.cookie, 77u);
    EXPECT_TRUE(readFile(out.file("a.bin")) == data);
    ASSERT_FALSE(o.blocks.empty());
    EXPECT_EQ(o.blocks.back(), static_cast<qint64>(data.size()));
    // Totals only grow; notices of blocks read close together are merged.
    for (size_t i = 1; i < o.blocks.size(); ++i)
        EXPECT_GT(o.blocks[i], o.blocks[i - 1]);
    EXPECT_LE(o.blocks.front(), static_cast<qint64>(kWebFileBlockBytes));
}

TEST_F(HttpTest, EmptyBodyMakesAnEmptyFileWithoutProgress) {
    writeFile(www.file("empty.bin"), "");
    writeFile(out.file("empty.bin"), "stale contents");
    startServer();
    Outcome o = fetch("/empty.bin", out.file("empty.bin"));
    ASSERT_FALSE(o.failed) << o.message.toStdString();
    EXPECT_TRUE(o.blocks.empty());
    struct stat st {};
    ASSERT_EQ(::stat(out.file("empty.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
}

TEST_F(HttpTest, ErrorStatusIsAFailedOpenNotAFile) {
    startServer();
    Outcome o = fetch("/missing.bin", out.file("missing.bin"), 5);
    EXPECT_TRUE(o.failed);
    EXPECT_EQ(o.cookie, 5u);
    EXPECT_EQ(o.message.toStdString(), formatText(Str::STR_HTTP_STATUS_FAILED, {"404"}));
    struct stat st {};
    EXPECT_NE(::stat(out.file("missing.bin").c_str(), &st), 0);
}

TEST_F(HttpTest, RefusedConnectionFails) {
    startServer();
    const int port = server.port();
    server.stop();
    WebFileDownload d;
    Outcome o;
    watch(d, o);
    WebFileRequest r;
    r.url = "http://127.0.0.1:" + std::to_string(port) + "/a";
    r.localPath = out.file("a");
    ASSERT_TRUE(d.start(r));
    vela::test::spinUntil([&] { return o.done; });
    EXPECT_TRUE(o.failed);
    EXPECT_EQ(o.message.toStdString(), text(Str::STR_CONNECTION_FAILED));
}

TEST_F(HttpTest, GzipFileArrivesAsStored) {
    const std::string plain = patterned(50000);
    const std::string gz = www.file("up/list.ini.gz");
    writeFile(gz, "");
    gzFile f = gzopen(gz.c_str(), "wb");
    ASSERT_TRUE(f);
    gzwrite(f, plain.data(), static_cast<unsigned>(plain.size()));
    gzclose(f);
    startServer();
    Outcome o = fetch("/up/list.ini.gz", "list.ini.gz"); // relative: below the base folder
    ASSERT_FALSE(o.failed) << o.message.toStdString();
    EXPECT_EQ(o.completed.toStdString(), out.path() + "/list.ini.gz");
    EXPECT_TRUE(readFile(out.file("list.ini.gz")) == readFile(gz));
    gzFile back = gzopen(out.file("list.ini.gz").c_str(), "rb");
    std::string unpacked(plain.size() + 10, '\0');
    int n = gzread(back, unpacked.data(), static_cast<unsigned>(unpacked.size()));
    gzclose(back);
    EXPECT_EQ(n, static_cast<int>(plain.size()));
    unpacked.resize(static_cast<size_t>(n > 0 ? n : 0));
    EXPECT_TRUE(unpacked == plain);
}

TEST_F(HttpTest, AbortFlagStopsASlowDownloadWithTheCompletionNotice) {
    writeFile(www.file("big.bin"), patterned(200 * 1024));
    startServer();
    WebFileDownload d;
    Outcome o;
    watch(d, o);
    QObject::connect(&d, &WebFileDownload::downBlock, [](qint64, quint32) {
        webFileAbortFlag() = 1; // the window went away
    });
    WebFileRequest r;
    r.url = url("/slow/big.bin");
    r.localPath = out.file("big.bin");
    ASSERT_TRUE(d.start(r));
    vela::test::spinUntil([&] { return o.done; });
    EXPECT_FALSE(o.failed);
    EXPECT_EQ(webFileStoppedMarker().load(), 1);
    EXPECT_EQ(o.blocks.size(), 1u);
    EXPECT_LT(readFile(out.file("big.bin")).size(), 200u * 1024);
}

TEST_F(HttpTest, UnwritableLocalFileStillEndsWithTheCompletionNotice) {
    writeFile(www.file("a.bin"), "abc");
    startServer();
    Outcome o = fetch("/a.bin", out.file("no/such/folder/a.bin"));
    EXPECT_FALSE(o.failed);
    EXPECT_TRUE(o.blocks.empty());
    struct stat st {};
    EXPECT_NE(::stat(out.file("no/such/folder/a.bin").c_str(), &st), 0);
}

TEST_F(HttpTest, DestroyingTheWindowStopsARunningDownload) {
    writeFile(www.file("big.bin"), patterned(200 * 1024));
    startServer();
    bool sawBlock = false;
    auto d = std::make_unique<WebFileDownload>();
    QObject::connect(d.get(), &WebFileDownload::downBlock,
                     [&](qint64, quint32) { sawBlock = true; });
    WebFileRequest r;
    r.url = url("/slow/big.bin");
    r.localPath = out.file("big.bin");
    ASSERT_TRUE(d->start(r));
    vela::test::spinUntil([&] { return sawBlock; });
    d.reset(); // must not hang, must not deliver to the dead window
    EXPECT_EQ(webFileStoppedMarker().load(), 0);
}

TEST_F(HttpTest, HttpsVerifiesTheServerCertificate) {
    if (std::system("command -v openssl >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "openssl is not installed (scripts/install-deps.sh)";
    const std::string cert = out.file("cert.pem"), key = out.file("key.pem");
    const std::string make = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1"
                             " -addext subjectAltName=IP:127.0.0.1 -keyout '" +
                             key + "' -out '" + cert + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0);
    writeFile(www.file("s.bin"), "secure bytes");
    startServer({"--cert", cert, "--key", key});

    WebFileRequest r;
    r.url = url("/s.bin", "https");
    r.localPath = out.file("s.bin");
    {
        // The system's authorities do not know this server: no silent fallback.
        WebFileDownload d;
        Outcome o;
        watch(d, o);
        ASSERT_TRUE(d.start(r));
        vela::test::spinUntil([&] { return o.done; });
        EXPECT_TRUE(o.failed);
        EXPECT_EQ(o.message.toStdString(), text(Str::STR_CERTIFICATE_FAILED));
    }
    {
        WebFileDownload d;
        Outcome o;
        watch(d, o);
        r.extraCaFile = cert;
        ASSERT_TRUE(d.start(r));
        vela::test::spinUntil([&] { return o.done; });
        ASSERT_FALSE(o.failed) << o.message.toStdString();
        EXPECT_EQ(readFile(out.file("s.bin")), "secure bytes");
    }
}

TEST_F(HttpTest, DownloadsRunOneAfterAnotherFromTheCompletionNotice) {
    writeFile(www.file("1.bin"), "one");
    writeFile(www.file("2.bin"), "two");
    startServer();
    WebFileDownload d;
    int completed = 0;
    WebFileRequest second;
    second.url = url("/2.bin");
    second.localPath = out.file("2.bin");
    QObject::connect(&d, &WebFileDownload::downComplete, [&](const QString&, quint32) {
        if (++completed == 1) {
            EXPECT_TRUE(d.start(second));
        }
    });
    WebFileRequest first;
    first.url = url("/1.bin");
    first.localPath = out.file("1.bin");
    ASSERT_TRUE(d.start(first));
    EXPECT_FALSE(d.start(first)); // one at a time
    vela::test::spinUntil([&] { return completed == 2; });
    EXPECT_EQ(readFile(out.file("1.bin")), "one");
    EXPECT_EQ(readFile(out.file("2.bin")), "two");
}

TEST_F(HttpTest, TheWindowMayBeDestroyedByItsOwnCompletionHandler) {
    writeFile(www.file("a.bin"), "abc");
    startServer();
    auto* d = new WebFileDownload;
    bool destroyed = false;
    QObject::connect(d, &WebFileDownload::downComplete, [&](const QString&, quint32) {
        delete d; // must not wait for the worker that waits for this handler
        destroyed = true;
    });
    WebFileRequest r;
    r.url = url("/a.bin");
    r.localPath = out.file("a.bin");
    ASSERT_TRUE(d->start(r));
    vela::test::spinUntil([&] { return destroyed; });
    EXPECT_EQ(readFile(out.file("a.bin")), "abc");
}
