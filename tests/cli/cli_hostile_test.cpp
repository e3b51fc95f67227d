// kamelo-cli on files that are not pictures at all (folders, devices,
// FIFOs) or that lie in their headers: a non-zero exit with the reason,
// never a hang.
#include "tests/cli/clirunner.h"
#include "tests/imaging/hostilepictures.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using kamelo::test::ScratchDir;
using kamelo::test::shellQuote;

namespace {

// Runs kamelo-cli with stderr folded into the output, a hang ending it.
kamelo::test::CliResult run(const ScratchDir& dir, const std::vector<std::string>& args) {
    return kamelo::test::runCli(dir, args, kamelo::test::CliStreams::Both, 20);
}

struct HangGuard {
    HangGuard() { ::alarm(120); }
    ~HangGuard() { ::alarm(0); }
};

} // namespace

TEST(KameloCliHostile, ExifOnAFolderOrDeviceFailsWithTheReason) {
    HangGuard guard;
    ScratchDir dir;
    kamelo::test::CliResult r = run(dir, {"exif", dir.path()});
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find("폴더"), std::string::npos) << r.out;
    r = run(dir, {"exif", "/dev/null"});
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find("장치"), std::string::npos) << r.out;
    r = run(dir, {"exif", "--raw", dir.path()});
    EXPECT_EQ(r.code, 1) << r.out;
}

TEST(KameloCliHostile, AFifoNamedLikeAPictureIsRefusedAtOnce) {
    HangGuard guard;
    ScratchDir dir;
    const std::string fifo = dir.file("f.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    kamelo::test::CliResult r = run(dir, {"exif", fifo});
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find("FIFO"), std::string::npos) << r.out;
    r = run(dir, {"info", fifo});
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find("FIFO"), std::string::npos) << r.out;
    r = run(dir, {"resave", fifo, dir.file("out.png")});
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_NE(r.out.find("FIFO"), std::string::npos) << r.out;
}

TEST(KameloCliHostile, PictureBombsAndForgedHeadersAreRefused) {
    HangGuard guard;
    ScratchDir dir;
    const std::string jpeg = dir.file("bomb.jpg"), gif = dir.file("bomb.gif");
    kamelo::test::writeBytes(jpeg, kamelo::test::jpegDeclaring(16383, 16383, true));
    kamelo::test::writeBytes(gif, kamelo::test::gifOnScreen(16000, 16000, 1));
    EXPECT_EQ(run(dir, {"resave", jpeg, dir.file("a.png")}).code, 1);
    EXPECT_EQ(run(dir, {"resave", gif, dir.file("b.png")}).code, 1);

    const std::string emf = dir.file("huge.emf"), sgi = dir.file("deep.sgi");
    kamelo::test::writeBytes(emf, kamelo::test::emfWithBounds(2147483646, 2147483646));
    kamelo::test::writeBytes(sgi, kamelo::test::sgiWithChannels(65535));
    kamelo::test::CliResult r = run(dir, {"info", emf});
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_EQ(r.out.find("2147483647"), std::string::npos) << r.out;
    r = run(dir, {"info", sgi});
    EXPECT_EQ(r.code, 1) << r.out;
    EXPECT_EQ(r.out.find("524280"), std::string::npos) << r.out;
}
