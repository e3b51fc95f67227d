#include "imaging/jpeglayout.h"
#include "imaging/losslessjpeg.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"
#include "tests/support/metadatadump.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace kamelo::imaging;
using kamelo::test::ScratchDir;
using namespace kamelo::test;

namespace {

std::vector<uint8_t> bytesOf(const std::string& path) {
    const std::string s = kamelo::test::readFile(path);
    return {s.begin(), s.end()};
}

// What a turn may change: the file itself, where the thumbnail sits, the
// size, the orientation, and what exiftool works out from them.
bool mayChange(const std::string& key) {
    static const std::set<std::string> groups = {"ExifTool", "System", "File", "Composite"};
    static const std::set<std::string> names = {
        "Orientation",    "ExifImageWidth", "ExifImageHeight", "ThumbnailOffset", "ThumbnailLength",
        "ThumbnailImage", "ImageWidth",     "ImageHeight",     "ImageLength"};
    const size_t colon = key.find(':');
    return groups.count(key.substr(0, colon)) || names.count(key.substr(colon + 1));
}

Bitmap decoded(const std::string& path) {
    Bitmap b;
    EXPECT_GE(PictureFile::load(path, b), 1) << path;
    return b;
}

std::array<uint16_t, 64> transposed(const std::array<uint16_t, 64>& t) {
    std::array<uint16_t, 64> out{};
    for (size_t i = 0; i < 64; ++i)
        out[(i % 8) * 8 + i / 8] = t[i];
    return out;
}

JpegLayout layoutOf(const std::vector<uint8_t>& bytes) {
    JpegLayout l;
    EXPECT_TRUE(l.read({bytes.data(), bytes.size()}));
    return l;
}

struct Row {
    const char* sample; // under camera/
    PlaneTurn turn;
    const char* jpegtran; // the same turn as jpegtran's options
    bool upright;         // written with orientation 1
    bool reencoded;       // edges not whole MCUs
};

class LosslessJpegTurn : public ::testing::TestWithParam<Row> {};

TEST_P(LosslessJpegTurn, MatchesJpegtranAndKeepsTablesAndMetadata) {
    KAMELO_REQUIRE_TESTDATA();
    if (!haveTool("jpegtran") || !haveTool("exiftool"))
        GTEST_SKIP() << "jpegtran and exiftool check the results";
    const Row& row = GetParam();
    ScratchDir dir;
    const std::string source = kamelo::test::testDataFile(std::string("camera/") + row.sample);
    const std::string ours = dir.file("ours.jpg");
    LosslessJpeg::Options options;
    options.upright = row.upright;
    LosslessJpeg::Result result;
    ASSERT_EQ(LosslessJpeg::turnFile(source, ours, row.turn, options, result), 1);
    EXPECT_EQ(result.reencoded, row.reencoded);

    const std::vector<uint8_t> before = bytesOf(source);
    const std::vector<uint8_t> after = bytesOf(ours);
    const JpegLayout in = layoutOf(before);
    const JpegLayout out = layoutOf(after);
    ASSERT_EQ(out.components(), in.components());
    if (!row.reencoded) {
        // The very coefficients jpegtran keeps, so the very pixels.
        const std::string theirs = dir.file("theirs.jpg");
        commandOutput(std::string("jpegtran ") + row.jpegtran + " -copy all -outfile " +
                      quoted(theirs) + " " + quoted(source));
        EXPECT_TRUE(samePixels(decoded(ours), decoded(theirs)));
        // The source's tables, across the diagonal when the blocks were.
        for (int c = 0; c < in.components(); ++c)
            EXPECT_EQ(*out.tableFor(c),
                      row.turn.swapsSides() ? transposed(*in.tableFor(c)) : *in.tableFor(c))
                << "component " << c;
    } else {
        EXPECT_EQ(out.estimateQuality(), in.estimateQuality());
        const Bitmap turned = decoded(ours);
        const Bitmap original = decoded(source);
        EXPECT_EQ(turned.width(), row.turn.swapsSides() ? original.height() : original.width());
    }

    const TagDump was = dumpTags(source);
    const TagDump now = dumpTags(ours);
    for (const auto& [key, values] : was) {
        if (mayChange(key))
            continue;
        const auto it = now.find(key);
        EXPECT_TRUE(it != now.end() && it->second == values) << key << " changed";
    }
    const auto one = [](const TagDump& tags, const std::string& key) {
        return *tags.at(key).begin();
    };
    if (was.count("IFD0:Orientation")) {
        EXPECT_EQ(one(now, "IFD0:Orientation"), row.upright ? "1" : one(was, "IFD0:Orientation"));
    }
    if (now.count("ExifIFD:ExifImageWidth")) {
        EXPECT_EQ(one(now, "ExifIFD:ExifImageWidth"), std::to_string(result.width));
    }
    if (was.count("IFD1:ThumbnailLength")) {
        // The thumbnail turned with the picture.
        const auto thumbnailOf = [&](const std::string& path, const std::string& name) {
            commandOutput("exiftool -b -ThumbnailImage " + quoted(path) + " > " +
                          quoted(dir.file(name)));
            return decoded(dir.file(name));
        };
        const Bitmap was = thumbnailOf(source, "was.jpg");
        const Bitmap now = thumbnailOf(ours, "now.jpg");
        EXPECT_EQ(now.width(), row.turn.swapsSides() ? was.height() : was.width());
        EXPECT_EQ(now.height(), row.turn.swapsSides() ? was.width() : was.height());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Samples, LosslessJpegTurn,
    ::testing::Values(
        Row{"Samsung GT-I9000 (Galaxy S).jpg", PlaneTurn::right(), "-rotate 90", true, false},
        Row{"Canon EOS REBEL T3i.jpg", PlaneTurn::half(), "-rotate 180", false, false},
        Row{"Canon EOS REBEL T3i.jpg", PlaneTurn::left(), "-rotate 270", false, false},
        Row{"kodak-dc240.jpg", PlaneTurn::mirrorLeftRight(), "-flip horizontal", false, false},
        Row{"kodak-dc240.jpg", PlaneTurn::mirrorTopBottom(), "-flip vertical", false, false},
        Row{"Nikon D40.jpg", PlaneTurn::transpose(), "-transpose", true, false},
        Row{"Casio EX-S1.jpg", PlaneTurn::transverse(), "-transverse", false, false},
        Row{"Sony Cybershot (3).jpg", PlaneTurn::right(), "", true, true},
        Row{"Canon PowerShot A85.jpg", PlaneTurn::left(), "", true, true}));

TEST(PlaneTurn, ComposesLikeTheStepsOneAfterTheOther) {
    struct Case {
        PlaneTurn first, second, both;
    } const cases[] = {
        {PlaneTurn::right(), PlaneTurn::right(), PlaneTurn::half()},
        {PlaneTurn::left(), PlaneTurn::right(), PlaneTurn::none()},
        {PlaneTurn::right(), PlaneTurn::mirrorLeftRight(), PlaneTurn::transpose()},
        {PlaneTurn::left(), PlaneTurn::mirrorLeftRight(), PlaneTurn::transverse()},
        {PlaneTurn::mirrorLeftRight(), PlaneTurn::mirrorTopBottom(), PlaneTurn::half()},
        {PlaneTurn::upright(6), PlaneTurn::none(), PlaneTurn::right()},
        {PlaneTurn::upright(5), PlaneTurn::upright(5), PlaneTurn::none()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.first.then(c.second), c.both);
        // The same on a 3 x 2 grid, pixel by pixel.
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                int x1, y1, x2, y2, x3, y3;
                c.first.map(x, y, 3, 2, x1, y1);
                const int w = c.first.swapsSides() ? 2 : 3;
                c.second.map(x1, y1, w, 5 - w, x2, y2);
                c.both.map(x, y, 3, 2, x3, y3);
                EXPECT_EQ(std::pair(x2, y2), std::pair(x3, y3));
            }
    }
}

TEST(LosslessJpeg, RefusesWhatIsNoJpegAndLeavesItsFileAlone) {
    ScratchDir dir;
    kamelo::test::writeFile(dir.file("a.jpg"), "\x89PNG\r\n\x1a\n not a jpeg");
    LosslessJpeg::Result r;
    EXPECT_EQ(
        LosslessJpeg::turnFile(dir.file("a.jpg"), dir.file("a.jpg"), PlaneTurn::right(), {}, r),
        result::kUnsupported);
    EXPECT_EQ(kamelo::test::readFile(dir.file("a.jpg")), "\x89PNG\r\n\x1a\n not a jpeg");
}

} // namespace
