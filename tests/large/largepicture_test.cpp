// Pictures far beyond one bitmap, read scaled and by region from streamed
// samples: sizes, colours at known places, memory held, bombs refused.
#include "largepictures.h"

#include "imaging/large/jpegreader.h"
#include "imaging/large/largepicture.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"
#include "tests/support/scratchdir.h"
#include "tests/support/streamedjpeg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <tiffio.h>
#include <vector>

using namespace kamelo::imaging;
namespace lt = kamelo::test::large;

namespace {

struct Case {
    const char* name;
    lt::Sample kind;
    int width, height;
};

// 65000 x 4200 is beyond one bitmap (2^28 pixels) yet a few MB on disk.
const Case kCases[] = {
    {"Jpeg", lt::Sample::Jpeg, 65000, 4200},
    {"Png", lt::Sample::Png, 65000, 4200},
    {"PngInterlaced", lt::Sample::PngInterlaced, 20000, 14000},
    {"TiffTiled", lt::Sample::TiffTiled, 65000, 4200},
    {"TiffStrip", lt::Sample::TiffStrip, 9000, 7500},
    {"TiffTiled16", lt::Sample::TiffTiled16, 4000, 3000},
    {"TiffStrips16", lt::Sample::TiffStrips16, 4000, 3000},
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

std::string nameOf(const ::testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

// Channels may differ by the JPEG's loss and the averaging at edges.
bool near(uint32_t a, uint32_t b, int tolerance = 12) {
    for (int c = 0; c < 3; ++c)
        if (std::abs(int((a >> (8 * c)) & 0xFF) - int((b >> (8 * c)) & 0xFF)) > tolerance)
            return false;
    return true;
}

// Each quadrant's colour is found a little inside its corner of the bitmap.
void expectQuadrants(const Bitmap& b, const uint32_t (&colours)[4] = lt::kQuadrants) {
    const int w = b.width(), h = b.height();
    const int xs[2] = {w / 4, w * 3 / 4}, ys[2] = {h / 4, h * 3 / 4};
    for (int q = 0; q < 4; ++q) {
        const uint32_t got = b.pixel(xs[q % 2], ys[q / 2]);
        EXPECT_TRUE(near(got, colours[q]))
            << "quadrant " << q << ": " << std::hex << got << " instead of " << colours[q];
    }
}

class LargePicture : public ::testing::TestWithParam<Case> {
protected:
    lt::SampleFile file() const {
        const Case& c = GetParam();
        return lt::sample(c.kind, c.width, c.height);
    }
};

} // namespace

TEST_P(LargePicture, FitsTheBoxAtTheLargestWholeFraction) {
    const lt::SampleFile f = file();
    Bitmap b;
    ASSERT_EQ(large::decodeFitted(f.path, 1920, 1080, b), result::kSuccess);
    const int n = large::fittedDenominator(f.width, f.height, 1920, 1080);
    EXPECT_EQ(b.width(), large::scaledSide(f.width, n));
    EXPECT_EQ(b.height(), large::scaledSide(f.height, n));
    EXPECT_LE(b.width(), 1920);
    EXPECT_LE(b.height(), 1080);
    expectQuadrants(b);
}

TEST_P(LargePicture, ARegionAcrossTheMiddleShowsAllFourQuadrants) {
    const lt::SampleFile f = file();
    // 2048 x 1024 around the centre, at 1/4 for every format but the
    // interlaced PNG, whose passes give 1/8 and less only.
    const int n = GetParam().kind == lt::Sample::PngInterlaced ? 8 : 4;
    const Rect source{f.width / 2 - 1024, f.height / 2 - 512, 2048, 1024};
    Bitmap b;
    ASSERT_EQ(large::decodeRegion(f.path, source, n, b), result::kSuccess);
    EXPECT_EQ(b.width(), 2048 / n);
    EXPECT_EQ(b.height(), 1024 / n);
    expectQuadrants(b);
}

TEST_P(LargePicture, LoadsWithinABoundedMemory) {
    const lt::SampleFile f = file();
    const long kb = lt::peakGrowthKb(
        [](const std::string& path) {
            Bitmap b;
            return large::decodeFitted(path, 1920, 1920, b);
        },
        f.path);
    ASSERT_GE(kb, 0) << "the decode failed";
    // The target is at most 11 MB; the rest is rows, tiles and the libraries'.
    EXPECT_LT(kb, 160 * 1024) << kb / 1024 << " MB for " << f.width << " x " << f.height;
}

// The viewer's fitted decode shows how far it is and stops when the
// picture is left.
TEST_P(LargePicture, AWatchSeesTheRowsComeAndStopsTheDecode) {
    const lt::SampleFile f = file();
    std::vector<int> told;
    Bitmap b;
    ASSERT_GE(large::decodeScaled(f.path, 8, b,
                                  [&](int percent) {
                                      told.push_back(percent);
                                      return true;
                                  }),
              1);
    ASSERT_GT(told.size(), 10u);
    EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
    EXPECT_EQ(told.back(), 100);
    const size_t whole = told.size();
    told.clear();
    EXPECT_EQ(large::decodeScaled(f.path, 8, b,
                                  [&](int percent) {
                                      told.push_back(percent);
                                      return percent < 30;
                                  }),
              result::kAborted);
    EXPECT_FALSE(b.isAllocated());
    EXPECT_LT(told.size(), whole / 2);
}

INSTANTIATE_TEST_SUITE_P(Formats, LargePicture, ::testing::ValuesIn(kCases), nameOf);

class WholeLoad : public ::testing::TestWithParam<lt::Sample> {};

std::string sampleName(const ::testing::TestParamInfo<lt::Sample>& info) {
    return lt::label(info.param);
}

TEST_P(WholeLoad, APictureBeyondOneBitmapComesOutScaled) {
    const bool interlaced = GetParam() == lt::Sample::PngInterlaced;
    const lt::SampleFile f =
        interlaced ? lt::sample(GetParam(), 20000, 14000) : lt::sample(GetParam(), 65000, 4200);
    FileInfo info;
    ASSERT_EQ(PictureFile::readInfo(f.path, info), result::kSuccess);
    EXPECT_EQ(info.width, f.width);
    EXPECT_EQ(info.height, f.height);
    Bitmap b;
    // Only a caller that just shows the picture takes it smaller; one that
    // may write it back must not get a reduced copy.
    EXPECT_EQ(PictureFile::load(f.path, b), result::kTooLarge) << f.path;
    EXPECT_FALSE(b.isAllocated());
    LoadOptions shown;
    shown.mayReduce = true;
    ASSERT_EQ(PictureFile::load(f.path, b, shown), result::kSuccess) << f.path;
    // An interlaced PNG is read from its first pass alone.
    const int n = GetParam() == lt::Sample::PngInterlaced
                      ? 8
                      : large::denominatorWithin(f.width, f.height, 1);
    EXPECT_EQ(b.width(), large::scaledSide(f.width, n));
    EXPECT_LE(int64_t(b.width()) * b.height(), large::kMaxScaledPixels);
    expectQuadrants(b);
    // A thumbnail's 1/8 fits as it is, and holds little more than its
    // bitmap (12 MB).
    const long kb = lt::peakGrowthKb(
        [](const std::string& path) {
            LoadOptions thumb;
            thumb.scaleDenominator = 8;
            thumb.mayReduce = true;
            Bitmap b;
            FileInfo info;
            const int rc = PictureFile::load(path, b, thumb);
            return rc == result::kSuccess && PictureFile::readInfo(path, info) >= 1 &&
                           b.width() == large::scaledSide(info.width, 8)
                       ? rc
                       : 0;
        },
        f.path);
    ASSERT_GE(kb, 0);
    EXPECT_LT(kb, 100 * 1024) << kb / 1024 << " MB for " << f.path;
}

INSTANTIATE_TEST_SUITE_P(Formats, WholeLoad,
                         ::testing::Values(lt::Sample::Jpeg, lt::Sample::Png,
                                           lt::Sample::PngInterlaced, lt::Sample::TiffTiled),
                         sampleName);

TEST(LargePicture, ALargeTiffIsReadScaledOrStreamed) {
    // 67 megapixels fit one bitmap: whole when asked so, scaled for a thumbnail.
    const lt::SampleFile f = lt::sample(lt::Sample::TiffStrip, 9000, 7500);
    for (const int asked : {8, 1}) {
        LoadOptions options;
        options.scaleDenominator = asked;
        options.mayReduce = true;
        Bitmap b;
        ASSERT_EQ(PictureFile::load(f.path, b, options), result::kSuccess);
        EXPECT_EQ(b.width(), 9000 / asked);
        expectQuadrants(b);
    }
    // At full size it is streamed into its 203 MB bitmap, without a 32-bit
    // copy (270 MB) beside it.
    const long kb = lt::peakGrowthKb(
        [](const std::string& path) {
            Bitmap b;
            return PictureFile::load(path, b);
        },
        f.path);
    ASSERT_GE(kb, 0);
    EXPECT_LT(kb, 300 * 1024) << kb / 1024 << " MB";
}

TEST(LargePicture, GreyCmykAndProgressiveJpegsKeepTheirColours) {
    const struct {
        lt::JpegLayout layout;
        const uint32_t (&colours)[4];
        int resolution; // a CMYK file has no JFIF header to say it
    } rows[] = {
        {lt::JpegLayout::Grey, lt::kQuadrantGreys, 300},
        {lt::JpegLayout::Cmyk, lt::kQuadrants, 96},
        {lt::JpegLayout::Progressive, lt::kQuadrants, 300},
    };
    for (const auto& row : rows) {
        const lt::SampleFile f = lt::jpegSample(row.layout, 3000, 2000);
        SCOPED_TRACE(f.path);
        Bitmap b;
        // At 1/3: the library's 1/2, then averaged.
        ASSERT_EQ(large::decodeRegion(f.path, {600, 400, 1800, 1200}, 3, b), result::kSuccess);
        EXPECT_EQ(b.width(), 600);
        EXPECT_EQ(b.xResolution(), row.resolution);
        expectQuadrants(b, row.colours);
        ASSERT_EQ(large::decodeFitted(f.path, 100, 100, b), result::kSuccess);
        EXPECT_EQ(b.width(), 100);
        expectQuadrants(b, row.colours);
    }
}

TEST(LargePicture, APyramidTiffIsReadFromItsReducedCopy) {
    for (const lt::Sample kind : {lt::Sample::TiffPyramid, lt::Sample::TiffSubIfd}) {
        const lt::SampleFile f = lt::sample(kind, 16000, 8000);
        SCOPED_TRACE(f.path);
        Bitmap b;
        // The reduced copy (2000 x 1000) covers a 1920 box: its shifted colours show.
        ASSERT_EQ(large::decodeFitted(f.path, 1920, 1920, b), result::kSuccess);
        EXPECT_EQ(b.width(), 1778); // 1/9
        EXPECT_TRUE(near(b.pixel(b.width() / 4, b.height() / 4), 0xC01010, 3))
            << std::hex << b.pixel(b.width() / 4, b.height() / 4);
        // A 1/2 region needs the full page.
        ASSERT_EQ(large::decodeRegion(f.path, {0, 0, 1024, 1024}, 2, b), result::kSuccess);
        EXPECT_TRUE(near(b.pixel(10, 10), lt::kQuadrants[0], 3)) << std::hex << b.pixel(10, 10);
    }
}

TEST(LargePicture, HeadersDeclaringMoreThanTheirFilesHoldAreRefused) {
    struct Bomb {
        std::string path;
        int expected;
    };
    const Bomb bombs[] = {
        {lt::jpegBomb(65500, 65500), result::kCorruptData},
        {lt::pngBomb(100000, 100000), result::kCorruptData},
        {lt::tiffBomb(1000000, 1000000), result::kCorruptData},
        {lt::tiffBomb(1u << 22, 16), result::kTooLarge}, // a side beyond any row buffer
    };
    for (const Bomb& bomb : bombs) {
        Bitmap b;
        EXPECT_EQ(large::decodeFitted(bomb.path, 1920, 1080, b), bomb.expected) << bomb.path;
        EXPECT_FALSE(b.isAllocated());
        EXPECT_EQ(PictureFile::load(bomb.path, b), bomb.expected) << bomb.path;
        LoadOptions thumb;
        thumb.scaleDenominator = 8;
        EXPECT_EQ(PictureFile::load(bomb.path, b, thumb), bomb.expected) << bomb.path;
    }
}

TEST(LargePicture, CutFilesEndInAnErrorWithoutAPicture) {
    const struct {
        lt::SampleFile file;
        int keepPercent;
    } rows[] = {
        {lt::sample(lt::Sample::Jpeg, 4000, 3000), 60},
        {lt::jpegSample(lt::JpegLayout::Progressive, 3000, 2000), 60},
        {lt::sample(lt::Sample::Png, 4000, 3000), 60},
        {lt::sample(lt::Sample::PngInterlaced, 20000, 14000), 2},
        {lt::sample(lt::Sample::TiffStrip, 4000, 3000), 60},
        {lt::sample(lt::Sample::TiffTiled, 4000, 3000), 60},
        {lt::sample(lt::Sample::TiffTiled, 4000, 3000), 1}, // no directory left
    };
    for (const auto& row : rows) {
        const std::string cut = lt::cutCopy(row.file.path, row.keepPercent);
        Bitmap b;
        const int rc = large::decodeFitted(cut, 640, 640, b);
        EXPECT_LT(rc, 1) << cut;
        EXPECT_FALSE(b.isAllocated()) << cut;
    }
}

TEST(LargePicture, TiffRowsStoredInAnotherOrderAreLeftToTheWholeDecoder) {
    const struct {
        int orientation, expected;
    } rows[] = {
        {ORIENTATION_TOPLEFT, result::kSuccess},
        {ORIENTATION_BOTLEFT, result::kUnsupported},
        {ORIENTATION_LEFTTOP, result::kUnsupported},
    };
    for (const auto& row : rows) {
        const std::string path = lt::tiffOriented(row.orientation);
        Bitmap b;
        EXPECT_EQ(large::decodeFitted(path, 32, 32, b), row.expected) << path;
        EXPECT_EQ(PictureFile::load(path, b), result::kSuccess) << path;
    }
}

TEST(LargePicture, RegionsOutsideThePictureAreRefused) {
    const lt::SampleFile f = lt::sample(lt::Sample::Jpeg, 16, 16);
    const Rect bad[] = {{-1, 0, 4, 4}, {0, 0, 17, 4}, {12, 12, 8, 8}, {0, 0, 0, 4}};
    for (const Rect& r : bad) {
        Bitmap b;
        EXPECT_EQ(large::decodeRegion(f.path, r, 1, b), result::kInvalidParameter);
    }
    Bitmap b;
    EXPECT_EQ(large::decodeRegion(f.path, {0, 0, 16, 16}, 0, b), result::kInvalidParameter);
    EXPECT_EQ(large::decodeFitted("/nonexistent.jpg", 10, 10, b), result::kFileNotFound);
}

// A region below the last one in its columns carries on with the decoder
// that read it; every region comes out as a decode from the top gives it.
TEST(LargePicture, RegionsBelowCarryOnFromTheDecoderAboveWithTheSamePixels) {
    kamelo::test::ScratchDir dir;
    const std::string path = dir.file("textured.jpg");
    const auto texture = [](int salt) {
        return [salt](int y, uint8_t* rgb) {
            for (int x = 0; x < 2400; ++x) {
                rgb[3 * x] = uint8_t(x * 7 + y * 13 + salt);
                rgb[3 * x + 1] = uint8_t((x ^ y) + salt);
                rgb[3 * x + 2] = uint8_t(x * y / 97);
            }
        };
    };
    ASSERT_TRUE(kamelo::test::writeStreamedJpeg(path, 2400, 3000, 90, texture(0)));
    large::closeWaitingDecoders();
    Bitmap whole;
    ASSERT_EQ(PictureFile::load(path, whole), result::kSuccess);
    struct Row {
        Rect source;
        int denominator;
        bool carries;
        bool rewrite = false; // the file written again first
    } rows[] = {
        {{0, 0, 800, 400}, 1, false},
        {{0, 600, 800, 400}, 1, true},     // below, same columns
        {{100, 1200, 500, 300}, 1, true},  // below, within the columns
        {{100, 200, 500, 300}, 1, false},  // above where it stands
        {{1600, 700, 800, 400}, 1, false}, // other columns
        {{0, 1200, 800, 400}, 2, false},   // another scale
        {{0, 1800, 800, 400}, 2, true},
        {{0, 2400, 800, 400}, 2, false, true}, // another file under the name
    };
    for (const Row& r : rows) {
        if (r.rewrite) {
            ASSERT_TRUE(kamelo::test::writeStreamedJpeg(path, 2400, 3000, 90, texture(60)));
        }
        const int before = large::carriedOnDecodes();
        Bitmap carried, fresh;
        ASSERT_EQ(large::decodeRegion(path, r.source, r.denominator, carried), result::kSuccess);
        EXPECT_EQ(large::carriedOnDecodes() - before, r.carries ? 1 : 0) << r.source.y;
        // The same region from the top; its decoder waits where the other did.
        large::closeWaitingDecoders();
        ASSERT_EQ(large::decodeRegion(path, r.source, r.denominator, fresh), result::kSuccess);
        EXPECT_TRUE(samePixels(carried, fresh)) << r.source.y;
        // Its edges as in the whole picture: no seam between neighbours.
        if (r.denominator == 1 && !r.rewrite) {
            bool same = true;
            for (int y = 0; y < carried.height() && same; ++y)
                for (int x = 0; x < carried.width() && same; ++x)
                    same = carried.pixel(x, y) == whole.pixel(r.source.x + x, r.source.y + y);
            EXPECT_TRUE(same) << r.source.x << "," << r.source.y;
        }
    }
}
