// The older formats' codec is a module loaded on the first picture that
// needs it: a JPEG never loads it, a PCX does, and without the module the
// older formats fail with a reason while the others still read.
#include "tests/cli/clirunner.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

using kamelo::test::CliResult;
using kamelo::test::CliStreams;
using kamelo::test::ScratchDir;
using kamelo::test::testDataFile;

namespace {

// Sets an environment variable for kamelo-cli runs within a scope.
struct EnvScope {
    std::string name;
    EnvScope(const char* n, const char* value) : name(n) { ::setenv(n, value, 1); }
    ~EnvScope() { ::unsetenv(name.c_str()); }
};

CliResult infoWithLoaderLog(const ScratchDir& dir, const std::string& file) {
    return kamelo::test::runCli(dir, {"info", file}, CliStreams::Both, 60, "LD_DEBUG=files");
}

} // namespace

TEST(MagickModule, LoadedOnlyForTheFormatsThatNeedIt) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const CliResult jpeg = infoWithLoaderLog(dir, testDataFile("camera/Canon PowerShot A85.jpg"));
    EXPECT_EQ(jpeg.code, 0) << jpeg.out;
    EXPECT_EQ(jpeg.out.find("kamelo-magick"), std::string::npos);
    EXPECT_EQ(jpeg.out.find("GraphicsMagick"), std::string::npos);

    const CliResult pcx = infoWithLoaderLog(dir, testDataFile("formats/pcx/animals.pcx"));
    EXPECT_EQ(pcx.code, 0) << pcx.out;
    EXPECT_NE(pcx.out.find("kamelo-magick"), std::string::npos);
    EXPECT_NE(pcx.out.find("animals.pcx\tPCX\t239\t157"), std::string::npos) << pcx.out;
}

TEST(MagickModule, WithoutItTheOlderFormatsFailWithAReasonAndTheOthersRead) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    EnvScope missing("KAMELO_MAGICK_MODULE", dir.file("no-such-module.so").c_str());
    const CliResult pcx = kamelo::test::runCli(
        dir, {"info", testDataFile("formats/pcx/animals.pcx")}, CliStreams::Both, 60);
    EXPECT_EQ(pcx.code, 1) << pcx.out;
    EXPECT_NE(pcx.out.find("지원하지 않습니다"), std::string::npos) << pcx.out;

    const CliResult save = kamelo::test::runCli(
        dir, {"resave", testDataFile("formats/png/basn0g08.png"), dir.file("out.pcx")},
        CliStreams::Both, 60);
    EXPECT_NE(save.code, 0) << save.out;
    EXPECT_NE(::access(dir.file("out.pcx").c_str(), F_OK), 0);

    const CliResult jpeg = kamelo::test::runCli(
        dir, {"info", testDataFile("camera/Canon PowerShot A85.jpg")}, CliStreams::Both, 60);
    EXPECT_EQ(jpeg.code, 0) << jpeg.out;
}
