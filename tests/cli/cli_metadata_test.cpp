// kamelo-cli's writes keep what the source carried, end to end.

#include "tests/cli/clirunner.h"
#include "tests/support/metadatadump.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <ostream>
#include <string>

using kamelo::test::runCli;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;

namespace {

struct CliRow {
    bool fromPng; // the photo is first converted to PNG by the program
    // "@name" is a scratch path; the photo is "@src", else appended.
    std::vector<std::string> args;
    std::string output;   // relative to the scratch folder
    std::string sampling; // the written JPEG's, "" for other formats
};

// A row is named by its command line, so the test list reads plainly.
void PrintTo(const CliRow& row, std::ostream* os) {
    std::string name = row.fromPng ? "png_" : "";
    for (const std::string& a : row.args)
        for (char c : a)
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    *os << name;
}

class CliMetadata : public testing::TestWithParam<CliRow> {};

TEST_P(CliMetadata, KeepsGpsXmpIptcAndIcc) {
    if (!kamelo::test::haveTool("exiftool") || !kamelo::test::haveTool("identify"))
        GTEST_SKIP() << "exiftool and identify are needed";
    KAMELO_REQUIRE_TESTDATA();
    const CliRow& row = GetParam();
    ScratchDir dir;
    fs::create_directories(dir.file("in"));
    std::string source = kamelo::test::richPhoto(dir, "Nikon D40.jpg", "in/photo.jpg");
    ASSERT_FALSE(source.empty());
    const kamelo::test::TagDump before = kamelo::test::dumpTags(source);
    if (row.fromPng) {
        ASSERT_EQ(runCli(dir, {"convert", "--format", "png", source}).code, 0);
        fs::remove(source);
        source = dir.file("in/photo.PNG");
    }
    std::vector<std::string> args = row.args;
    bool placed = false;
    for (std::string& a : args) {
        if (a == "@src") {
            a = source;
            placed = true;
        } else if (a[0] == '@') {
            a = dir.file(a.substr(1));
        }
    }
    if (!placed)
        args.push_back(source);
    ASSERT_EQ(runCli(dir, args).code, 0);
    const std::string out = dir.file(row.output);
    ASSERT_TRUE(fs::exists(out));
    const kamelo::test::TagDump after = kamelo::test::dumpTags(out);
    for (const char* key :
         {"GPS:GPSLatitude", "GPS:GPSLongitude", "GPS:GPSAltitude", "IFD0:Copyright", "IFD0:Artist",
          "ExifIFD:ExposureProgram", "ExifIFD:WhiteBalance", "XMP-dc:Creator", "XMP-dc:Subject",
          "XMP-xmp:Rating", "IPTC:Keywords", "IPTC:By-line", "IPTC:City", "IFD0:Make",
          "ExifIFD:DateTimeOriginal", "Nikon:ShutterCount"}) {
        SCOPED_TRACE(key);
        if (before.count(key) == 0)
            continue;
        ASSERT_EQ(after.count(key), 1u);
        EXPECT_EQ(after.at(key), before.at(key));
    }
    EXPECT_EQ(kamelo::test::binaryTag(out, "ICC_Profile"),
              kamelo::test::binaryTag(source, "ICC_Profile"));
    if (!row.sampling.empty()) {
        EXPECT_EQ(kamelo::test::samplingFactors(out), row.sampling);
    }
}

// The sample is 4:2:2 (2x1): JPEG writes keep that whatever the quality; a
// PNG goes to JPEG at 4:4:4 from quality 90 up, at 4:2:0 below.
INSTANTIATE_TEST_SUITE_P(
    Commands, CliMetadata,
    testing::Values(
        CliRow{false,
               {"convert", "--format", "jpg", "--quality", "60", "--out", "@out"},
               "out/photo.jpg",
               "2x1,1x1,1x1"},
        CliRow{false, {"convert", "--format", "png"}, "in/photo.PNG", ""},
        CliRow{false, {"resave", "@src", "@photo.tif"}, "photo.tif", ""},
        CliRow{false, {"resave", "@src", "@photo.jpg"}, "photo.jpg", "2x1,1x1,1x1"},
        CliRow{
            false, {"resize", "--percent", "50", "--out", "@out"}, "out/photo.jpg", "2x1,1x1,1x1"},
        CliRow{false,
               {"adjust", "--grey", "--sharpen", "3", "--out", "@out"},
               "out/photo.jpg",
               "2x1,1x1,1x1"},
        CliRow{
            true, {"convert", "--format", "jpg", "--quality", "95"}, "in/photo.JPG", "1x1,1x1,1x1"},
        CliRow{true,
               {"convert", "--format", "jpg", "--quality", "89"},
               "in/photo.JPG",
               "2x2,1x1,1x1"}));

} // namespace
