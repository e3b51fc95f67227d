#include "imaging/bitmap.h"
#include "imaging/picturefile.h"
#include "tests/cli/clirunner.h"
#include "tests/support/metadatadump.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

using kamelo::test::cli;
using kamelo::test::ScratchDir;
using kamelo::test::shellQuote;
namespace fs = std::filesystem;

namespace {

// A command's standard output without its final line end.
std::string output(const std::string& cmd) {
    std::string out = kamelo::test::commandOutput(cmd + " 2>/dev/null");
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

bool samePixels(const std::string& a, const std::string& b) {
    kamelo::imaging::Bitmap x, y;
    if (kamelo::imaging::PictureFile::load(a, x) < 1 ||
        kamelo::imaging::PictureFile::load(b, y) < 1 || x.width() != y.width() ||
        x.height() != y.height())
        return false;
    for (int r = 0; r < x.height(); ++r)
        if (std::memcmp(x.row(r), y.row(r), size_t(x.width()) * 3) != 0)
            return false;
    return true;
}

struct Row {
    const char* sample; // under camera/
    const char* option;
    const char* value;       // of the option, or empty
    const char* jpegtran;    // the same turn; empty when it cannot be lossless
    const char* orientation; // written
    const char* size;        // written
};

class CliLosslessTurn : public ::testing::TestWithParam<Row> {};

// The orientation is applied (the default): a turn stands the picture
// upright first, as the viewer shows it.
TEST_P(CliLosslessTurn, TurnsJpegsAsJpegtranDoesOrSaysItCompressedAgain) {
    KAMELO_REQUIRE_TESTDATA();
    if (std::system("command -v jpegtran >/dev/null && command -v exiftool >/dev/null") != 0)
        GTEST_SKIP() << "jpegtran and exiftool check the results";
    const Row& row = GetParam();
    ScratchDir dir;
    const std::string source = dir.file("in.jpg");
    fs::copy_file(kamelo::test::testDataFile(std::string("camera/") + row.sample), source);
    fs::permissions(source, fs::perms::owner_write, fs::perm_options::add);
    const std::string before = kamelo::test::readFile(source);

    std::vector<std::string> args = {"rotate", row.option};
    if (*row.value)
        args.emplace_back(row.value);
    args.insert(args.end(), {"--out", dir.file("out"), source});
    const auto r = cli(dir, args);
    EXPECT_EQ(r.code, 0) << r.out;
    const std::string written = dir.file("out/in.jpg");
    EXPECT_EQ(kamelo::test::readFile(source), before);
    const bool lossless = *row.jpegtran != '\0';
    EXPECT_EQ(r.out.find("무손실 회전 불가: 다시 압축함") == std::string::npos, lossless) << r.out;
    if (lossless) {
        const std::string theirs = dir.file("theirs.jpg");
        output(std::string("jpegtran ") + row.jpegtran + " -copy all -outfile " +
               shellQuote(theirs) + " " + shellQuote(source));
        EXPECT_TRUE(samePixels(written, theirs));
    }
    EXPECT_EQ(output("exiftool -s3 -n -IFD0:Orientation " + shellQuote(written)), row.orientation);
    EXPECT_EQ(output("exiftool -s3 -ImageSize " + shellQuote(written)), row.size);
    EXPECT_EQ(output("exiftool -s3 -Model " + shellQuote(written)),
              output("exiftool -s3 -Model " + shellQuote(source)));
}

INSTANTIATE_TEST_SUITE_P(
    Samples, CliLosslessTurn,
    ::testing::Values(
        // Orientation 6: upright is a right turn.
        Row{"Samsung GT-I9000 (Galaxy S).jpg", "--auto", "", "-rotate 90", "1", "480x640"},
        Row{"Samsung GT-I9000 (Galaxy S).jpg", "--right", "", "-rotate 180", "1", "640x480"},
        Row{"Samsung GT-I9000 (Galaxy S).jpg", "--mirror", "", "-transpose", "1", "480x640"},
        Row{"kodak-dc240.jpg", "--flip", "", "-flip vertical", "1", "640x480"},
        Row{"Canon EOS REBEL T3i.jpg", "--code", "7", "-transpose", "1", "768x1152"},
        Row{"Canon EOS REBEL T3i.jpg", "--auto", "", "-copy none", "1", "1152x768"},
        // 311 x 450 in 16 x 16 blocks: the edges cannot turn losslessly.
        Row{"Sony Cybershot (3).jpg", "--auto", "", "", "1", "450x311"}));

} // namespace
