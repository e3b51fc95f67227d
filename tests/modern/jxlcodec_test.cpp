#include "imaging/memorybudget.h"
#include "imaging/modern/jxlcodec.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"
#include "jxlsamples.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace kamelo::imaging;
using namespace kamelo::test::jxl;

namespace {

class Jxl : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(samples().error.empty()) << samples().error; }
    void TearDown() override { memorybudget::setLimitsForTesting(0, 0, 0); }
};

bool near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(int(a >> shift & 255) - int(b >> shift & 255)) > tolerance)
            return false;
    return true;
}

struct Probe {
    int x, y;
    uint32_t rgb;
};
struct StillCase {
    const char* name;
    std::string Samples::*file;
    int width, height, bits;
    Probe probes[2];
    int tolerance; // the JPEG's own loss; lossless files match exactly
};
const StillCase kStills[] = {
    {"halves", &Samples::halves, 64, 48, 24, {{5, 5, 0xC03020}, {60, 40, 0x2060A0}}, 0},
    {"grey", &Samples::grey, 40, 30, 8, {{3, 3, 0x4D4D4D}, {39, 29, 0x4D4D4D}}, 0},
    {"alpha onto white", &Samples::alpha, 40, 30, 32, {{5, 5, 0x00FF00}, {35, 5, 0xFFFFFF}}, 0},
    {"grey alpha", &Samples::greyAlpha, 40, 30, 16, {{5, 5, 0x4D4D4D}, {35, 5, 0xFFFFFF}}, 0},
    // Stored as the JPEG was, 64 x 48: its orientation 6 is reported, not applied.
    {"recompressed JPEG", &Samples::photo, 64, 48, 24, {{10, 10, 0xC03020}, {63, 0, 0xC03020}}, 6},
};

TEST_F(Jxl, StillPicturesDecodeAsStored) {
    for (const StillCase& c : kStills) {
        SCOPED_TRACE(c.name);
        const auto bytes = bytesOf(samples().*c.file);
        FileInfo info;
        ASSERT_EQ(jxlcodec::readInfo(viewOf(bytes), info), result::kSuccess);
        EXPECT_EQ(info.width, c.width);
        EXPECT_EQ(info.height, c.height);
        EXPECT_EQ(info.bitsPerPixel, c.bits);
        EXPECT_EQ(info.compression, "JPEG XL");
        EXPECT_EQ(info.pageCount, 1);
        Bitmap b;
        ASSERT_EQ(jxlcodec::decode(viewOf(bytes), LoadOptions{}, b), result::kSuccess);
        ASSERT_EQ(b.width(), c.width);
        ASSERT_EQ(b.height(), c.height);
        EXPECT_EQ(b.sourceBitsPerPixel(), c.bits);
        for (const Probe& p : c.probes)
            EXPECT_TRUE(near(b.pixel(p.x, p.y), p.rgb, c.tolerance))
                << std::hex << b.pixel(p.x, p.y) << " at " << std::dec << p.x << "," << p.y;
    }
}

TEST_F(Jxl, OrientationComesFromTheCodestream) {
    // cjxl moves a JPEG's EXIF orientation into the codestream header.
    EXPECT_EQ(jxlcodec::readOrientation(samples().photo), 6);
    EXPECT_EQ(jxlcodec::readOrientation(samples().halves), 1);
    kamelo::test::ScratchDir dir;
    EXPECT_EQ(jxlcodec::readOrientation(dir.path()), 1); // not a regular file
    EXPECT_EQ(jxlcodec::readOrientation(dir.file("missing.jxl")), 1);
}

TEST_F(Jxl, PictureFileReachesTheReader) {
    FileInfo info;
    ASSERT_EQ(PictureFile::readInfo(samples().animation, info), result::kSuccess);
    EXPECT_EQ(info.format, PictureFormat::Jxl);
    EXPECT_EQ(info.pageCount, 3);
    Bitmap b;
    ASSERT_EQ(PictureFile::load(samples().photo, b), result::kSuccess);
    EXPECT_EQ(b.width(), 64);
    EXPECT_EQ(Orientation::read(samples().photo), 6);
    AnimatedBitmap a;
    ASSERT_EQ(PictureFile::loadAnimation(samples().animation, a), result::kSuccess);
    EXPECT_EQ(a.frameCount(), 3);
}

// The block read from the box, saved as a bare EXIF file, gives exiftool
// the values written into the source.
struct ExifCase {
    const char* name;
    std::string Samples::*file;
    const char* tags; // date, make, model, exposure as exiftool prints them
};
const ExifCase kExif[] = {
    {"Brotli box from a JPEG", &Samples::photo, "2024:05:06 07:08:09\nKamelo\nJxlTest\n1/125\n"},
    {"plain box", &Samples::tagged, "2023:01:02 03:04:05\nRawBox\nM2\n0.5\n"},
    {"no box", &Samples::halves, ""},
};

TEST_F(Jxl, ExifBoxHoldsWhatExiftoolReads) {
    kamelo::test::ScratchDir dir;
    const std::string tags = "exiftool -s3 -DateTimeOriginal -Make -Model -ExposureTime ";
    EXPECT_EQ(output(tags + samples().photoJpeg), kExif[0].tags);
    for (const ExifCase& c : kExif) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> exif;
        ASSERT_EQ(jxlcodec::readExif(viewOf(bytesOf(samples().*c.file)), exif), result::kSuccess);
        if (exif.empty()) {
            EXPECT_STREQ(c.tags, "");
            continue;
        }
        EXPECT_TRUE(exif[0] == exif[1] && (exif[0] == 'I' || exif[0] == 'M'));
        const std::string block = dir.file("block.exif");
        kamelo::test::writeFile(block, std::string(exif.begin(), exif.end()));
        EXPECT_EQ(output(tags + block), c.tags);
    }
}

TEST_F(Jxl, AnimationFramesDelaysAndLoops) {
    const auto bytes = bytesOf(samples().animation);
    FileInfo info;
    ASSERT_EQ(jxlcodec::readInfo(viewOf(bytes), info), result::kSuccess);
    EXPECT_EQ(info.pageCount, 3);
    // cjxl 0.7 does not carry the GIF's loop count over: it writes 0 (without end).
    int loops = -1;
    ASSERT_EQ(jxlcodec::readLoopCount(viewOf(bytes), loops), result::kSuccess);
    EXPECT_EQ(loops, 0);
    AnimatedBitmap a;
    ASSERT_EQ(jxlcodec::decodeAnimation(viewOf(bytes), a), result::kSuccess);
    ASSERT_EQ(a.frameCount(), 3);
    EXPECT_EQ(a.framesLeftOut(), 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(a.frame(i).delayMs, kDelays[i]);
        EXPECT_EQ(a.frame(i).bitmap.pixel(16, 12), kFrameColours[i]);
        LoadOptions page;
        page.page = i;
        Bitmap b;
        ASSERT_EQ(jxlcodec::decode(viewOf(bytes), page, b), result::kSuccess);
        EXPECT_EQ(b.pixel(31, 23), kFrameColours[i]);
    }
    LoadOptions beyond;
    beyond.page = 3;
    Bitmap b;
    EXPECT_EQ(jxlcodec::decode(viewOf(bytes), beyond, b), result::kInvalidParameter);
}

TEST_F(Jxl, TicksBecomeMillisecondsAndLoopsAreRead) {
    const auto bytes = encodedAnimation();
    ASSERT_FALSE(bytes.empty());
    int loops = -1;
    ASSERT_EQ(jxlcodec::readLoopCount(viewOf(bytes), loops), result::kSuccess);
    EXPECT_EQ(loops, int(kEncodedLoops));
    AnimatedBitmap a;
    ASSERT_EQ(jxlcodec::decodeAnimation(viewOf(bytes), a), result::kSuccess);
    ASSERT_EQ(a.frameCount(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(a.frame(i).delayMs, kEncodedDelays[i]);
    EXPECT_EQ(a.frame(1).bitmap.pixel(15, 7), 0x0000FFu);
}

TEST_F(Jxl, AnimationKeepsWhatFitsItsBudget) {
    memorybudget::setLimitsForTesting(0, 0, size_t(Bitmap::strideFor(32)) * 24 * 2);
    AnimatedBitmap a;
    ASSERT_EQ(jxlcodec::decodeAnimation(viewOf(bytesOf(samples().animation)), a), result::kSuccess);
    EXPECT_EQ(a.frameCount(), 2);
    EXPECT_EQ(a.framesLeftOut(), 1);
}

TEST_F(Jxl, RowsArriveInBandsAndAStopIsHeard) {
    const auto bytes = bytesOf(samples().noise);
    Bitmap whole;
    ASSERT_EQ(jxlcodec::decode(viewOf(bytes), LoadOptions{}, whole), result::kSuccess);
    int next = 0;
    LoadOptions banded;
    banded.bandRows = 16;
    banded.onRows = [&](const Bitmap&, int first, int rows, int pass) {
        EXPECT_EQ(first, next);
        EXPECT_TRUE(rows > 0 && rows <= 16);
        EXPECT_EQ(pass, 0);
        next = first + rows;
        return 1;
    };
    Bitmap b;
    ASSERT_EQ(jxlcodec::decode(viewOf(bytes), banded, b), result::kSuccess);
    EXPECT_EQ(next, 300);
    ASSERT_EQ(b.byteCount(), whole.byteCount());
    EXPECT_TRUE(std::equal(b.bits(), b.bits() + b.byteCount(), whole.bits()));
    LoadOptions stopped;
    stopped.onRows = [](const Bitmap&, int, int, int) { return -1086; };
    EXPECT_EQ(jxlcodec::decode(viewOf(bytes), stopped, b), -1086);
}

// Cut and damaged files of each kind are refused, never decoded into noise;
// only the whole frames before a cut may still be shown one by one.
struct HostileCase {
    const char* name;
    std::string Samples::*file;
    void (*spoil)(std::vector<uint8_t>&);
    bool firstFrameWhole = false;
};
const HostileCase kHostile[] = {
    {"cut still", &Samples::noise, [](auto& v) { v.resize(v.size() / 2); }},
    {"cut container", &Samples::photo, [](auto& v) { v.resize(v.size() * 2 / 3); }},
    {"cut animation", &Samples::animation, [](auto& v) { v.resize(v.size() - 10); }, true},
    {"head only", &Samples::halves, [](auto& v) { v.resize(12); }},
    {"damaged data", &Samples::noise,
     [](auto& v) { std::fill(v.begin() + v.size() / 2, v.begin() + v.size() / 2 + 64, 0x55); }},
    {"damaged header", &Samples::halves, [](auto& v) { std::fill(v.begin() + 2, v.end(), 0xFF); }},
    {"not a picture", &Samples::halves, [](auto& v) { std::fill(v.begin(), v.end(), 0); }},
};

TEST_F(Jxl, CutAndDamagedFilesAreRefused) {
    for (const HostileCase& c : kHostile) {
        SCOPED_TRACE(c.name);
        auto bytes = bytesOf(samples().*c.file);
        c.spoil(bytes);
        Bitmap b;
        AnimatedBitmap a;
        LoadOptions last;
        last.page = 2;
        EXPECT_LT(jxlcodec::decode(viewOf(bytes), last, b), 1);
        EXPECT_FALSE(b.isAllocated());
        EXPECT_EQ(jxlcodec::decode(viewOf(bytes), LoadOptions{}, b) >= 1, c.firstFrameWhole);
        EXPECT_LT(jxlcodec::decodeAnimation(viewOf(bytes), a), 1);
        EXPECT_TRUE(a.empty());
    }
}

TEST_F(Jxl, APictureItsFileCannotHoldIsRefused) {
    const auto bytes = bytesOf(samples().flat);
    FileInfo info;
    ASSERT_EQ(jxlcodec::readInfo(viewOf(bytes), info), result::kSuccess);
    EXPECT_EQ(info.width, 3000);
    EXPECT_EQ(info.height, 2000);
    Bitmap b;
    EXPECT_EQ(jxlcodec::decode(viewOf(bytes), LoadOptions{}, b), result::kTooLarge);
    AnimatedBitmap a;
    EXPECT_EQ(jxlcodec::decodeAnimation(viewOf(bytes), a), result::kTooLarge);
    // libjxl's own planes count too: 16 bytes a pixel must fit the budget.
    memorybudget::setLimitsForTesting(0, 64 * 48 * 16 - 1, 0);
    EXPECT_EQ(jxlcodec::decode(viewOf(bytesOf(samples().halves)), LoadOptions{}, b),
              result::kTooLarge);
}

} // namespace
