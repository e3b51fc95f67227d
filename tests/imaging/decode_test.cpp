#include "imaging/picturefile.h"
#include "imaging/result.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

using namespace kamelo::imaging;
namespace fs = std::filesystem;

namespace {

struct Expected {
    std::string file, format;
    int width = -1, height = -1, bits = -1, frames = -1;
};

int numberOrUnknown(const std::string& s) {
    return s == "-" || s.empty() ? -1 : std::stoi(s);
}

std::vector<Expected> expectedFormats() {
    std::vector<Expected> rows;
    std::ifstream in(kamelo::test::testDataFile("formats/EXPECTED.tsv"));
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, '\t'))
            f.push_back(cell);
        if (f.size() < 6 || f[0].find("/ref/") != std::string::npos)
            continue; // reference renderings of other decoders
        rows.push_back({f[0], f[1], numberOrUnknown(f[2]), numberOrUnknown(f[3]),
                        numberOrUnknown(f[4]), numberOrUnknown(f[5])});
    }
    return rows;
}

// Files that are samples of a known-bad variant, not of a readable picture.
const std::set<std::string> kRefused = {
    "iff/ps_testcard_rgb_maya.iff", // Maya IFF, not ILBM
    "pcx/01r_00.pcx",               // 12 bytes per line declared for 88-pixel 8-bit rows
    "wmf/test_libuemf_ref.wmf",     // records the WMF player rejects as short
};

double meanDifference(const Bitmap& a, const Bitmap& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width() * 3; ++x)
            sum += std::abs(int(a.row(y)[x]) - int(b.row(y)[x]));
    return sum / (double(a.width()) * a.height() * 3);
}

} // namespace

TEST(Decode, EverySampleMatchesItsExpectedSizeDepthAndFrames) {
    KAMELO_REQUIRE_TESTDATA();
    const auto rows = expectedFormats();
    ASSERT_GT(rows.size(), 140u);
    std::set<std::string> formatsOpened;
    for (const Expected& e : rows) {
        SCOPED_TRACE(e.file);
        const std::string path = kamelo::test::testDataFile("formats/" + e.file);
        FileInfo info;
        Bitmap bitmap;
        const int infoRc = PictureFile::readInfo(path, info);
        const int loadRc = PictureFile::load(path, bitmap);
        if (kRefused.count(e.file)) {
            EXPECT_LT(loadRc, 1);
            continue;
        }
        ASSERT_GE(infoRc, 1) << resultText(infoRc);
        ASSERT_GE(loadRc, 1) << resultText(loadRc);
        EXPECT_EQ(info.sizeOnDisk, static_cast<int64_t>(fs::file_size(path)));
        if (e.width > 0) {
            EXPECT_EQ(info.width, e.width);
            EXPECT_EQ(info.height, e.height);
        }
        if (e.bits > 0) {
            EXPECT_EQ(info.bitsPerPixel, e.bits);
        }
        if (e.frames > 0) {
            EXPECT_EQ(info.pageCount, e.frames);
        }
        // The information and the decoded picture agree.
        EXPECT_EQ(bitmap.width(), info.width);
        EXPECT_EQ(bitmap.height(), info.height);
        EXPECT_EQ(bitmap.stride() % 4, 0);
        formatsOpened.insert(formatName(info.format));
    }
    // All twenty extensions map onto these eighteen decoders.
    EXPECT_EQ(formatsOpened.size(), 18u);
}

TEST(Decode, OwnDecodersMatchAnotherDecodersRendering) {
    KAMELO_REQUIRE_TESTDATA();
    // Reference renderings made by another program's decoders, read here as PNG.
    const std::pair<const char*, const char*> pairs[] = {
        {"iff/ham8.iff", "iff/ref/ham8.png"},
        {"iff/ps_testcard_rgb_amiga.iff", "iff/ref/ps_testcard_rgb_amiga.png"},
        {"iff/testcard_pbm.iff", "iff/ref/testcard_pbm.png"},
        {"iff/testcard_rlepbm.iff", "iff/ref/testcard_rlepbm.png"},
        {"ras/rle_24bit.ras", "ras/ref/rle_24bit.png"},
        {"ras/rle_pal8bit.ras", "ras/ref/rle_pal8bit.png"},
        {"sgi/testcard_rgba.rgb", "sgi/ref/testcard_rgba.png"},
        {"sgi/rgb-gimp-2.8.10-aggressive-rle.rgb", "sgi/ref/rgb-gimp-2.8.10-aggressive-rle.png"},
        {"ras/rle_1bit.ras", "ras/ref/rle_1bit.png"},
    };
    for (const auto& [file, ref] : pairs) {
        SCOPED_TRACE(file);
        Bitmap ours, theirs;
        ASSERT_GE(
            PictureFile::load(kamelo::test::testDataFile(std::string("formats/") + file), ours), 1);
        ASSERT_GE(
            PictureFile::load(kamelo::test::testDataFile(std::string("formats/") + ref), theirs),
            1);
        ASSERT_EQ(ours.width(), theirs.width());
        ASSERT_EQ(ours.height(), theirs.height());
        EXPECT_LT(meanDifference(ours, theirs), 2.0);
    }
}

TEST(Decode, ThePhotoshopCompositeMatchesTheSamePictureInAnotherFormat) {
    KAMELO_REQUIRE_TESTDATA();
    Bitmap psd, ras, psdMerged;
    ASSERT_GE(PictureFile::load(kamelo::test::testDataFile("formats/psd/hopper.psd"), psd), 1);
    ASSERT_GE(
        PictureFile::load(kamelo::test::testDataFile("formats/psd/hopper_merged.psd"), psdMerged),
        1);
    ASSERT_GE(PictureFile::load(kamelo::test::testDataFile("formats/ras/hopper.ras"), ras), 1);
    EXPECT_LT(meanDifference(psd, ras), 3.0);
    EXPECT_LT(meanDifference(psdMerged, ras), 3.0);
}

TEST(Decode, ContentDecidesBeforeTheExtension) {
    KAMELO_REQUIRE_TESTDATA();
    FileInfo info;
    ASSERT_GE(PictureFile::readInfo(
                  kamelo::test::testDataFile("broken/png-with-jpeg-extension.jpg"), info),
              1);
    EXPECT_EQ(info.format, PictureFormat::Png);
    ASSERT_GE(PictureFile::readInfo(kamelo::test::testDataFile("broken/jpg-with-gif-extension.gif"),
                                    info),
              1);
    EXPECT_EQ(info.format, PictureFormat::Jpeg);
    EXPECT_EQ(info.width, 150);
    EXPECT_EQ(info.height, 100);
}

TEST(Decode, DamagedFilesGiveAnErrorCodeAndNoPicture) {
    KAMELO_REQUIRE_TESTDATA();
    const char* damaged[] = {"empty.png",
                             "truncated_jpeg.jpg",
                             "5145e95a-02a8-11e7-8372-4787a7307ab8.jpg",
                             "broken-adobe-segment-length-beyond-eof.jpg",
                             "broken-sos-before-sof.jpg",
                             "beach.jpg",
                             "xs1n0g01.png",
                             "xcrn0g04.png",
                             "xcsn0g01.png",
                             "truncated_image.png",
                             "broken.png",
                             "shortfile.bmp",
                             "badbitcount.bmp",
                             "badheadersize.bmp",
                             "reallybig.bmp",
                             "zero_width.gif",
                             "issue_2811.gif",
                             "cross_scan_line_truncated.tga",
                             "p_8.tga",
                             "ossfuzz-4836216264589312.pcx",
                             "crash-754d9c7ec485ffb76a90eeaab191ef69a2a3a3cd.sgi",
                             "combined_larger_than_size.psd",
                             "short-packbits.psd",
                             "no_cursors.cur",
                             "hopper_unexpected.ico",
                             "8.pict",
                             "PhotoCD.pcd",
                             "oom-225817ca0f8c663be7ab4b9e717b02c661e66834.tif",
                             "crash-0c7e0e8e11ce787078f00b5b0ca409a167f070e0.tif",
                             "bad_corrupted_2014-12-02-215338.emf"};
    for (const char* name : damaged) {
        SCOPED_TRACE(name);
        Bitmap b;
        const int rc =
            PictureFile::load(kamelo::test::testDataFile(std::string("broken/") + name), b);
        EXPECT_LT(rc, 1);
        EXPECT_FALSE(resultText(rc).empty());
    }
}

TEST(Decode, EveryBrokenFileIsHandledWithoutACrash) {
    KAMELO_REQUIRE_TESTDATA();
    for (const auto& entry : fs::directory_iterator(kamelo::test::testDataFile("broken"))) {
        SCOPED_TRACE(entry.path().string());
        Bitmap b;
        FileInfo info;
        AnimatedBitmap anim;
        const int rc = PictureFile::load(entry.path().string(), b);
        PictureFile::readInfo(entry.path().string(), info);
        PictureFile::loadAnimation(entry.path().string(), anim);
        if (rc >= 1) {
            EXPECT_TRUE(b.isAllocated());
        }
    }
}

TEST(Decode, ScaledJpegDecodingDividesTheSizeRoundingUp) {
    KAMELO_REQUIRE_TESTDATA();
    const std::string path = kamelo::test::testDataFile(
        "formats/jpg/no-image-types-rgb-us-web-coated-v2-ms-photogallery-exif.jpg");
    for (int denom : {1, 2, 4, 8}) {
        LoadOptions o;
        o.scaleDenominator = denom;
        Bitmap b;
        ASSERT_GE(PictureFile::load(path, b, o), 1);
        EXPECT_EQ(b.width(), (1743 + denom - 1) / denom);
        EXPECT_EQ(b.height(), (2551 + denom - 1) / denom);
    }
}

TEST(Decode, TransparentPixelsAreFlattenedOntoWhite) {
    KAMELO_REQUIRE_TESTDATA();
    // basn6a08: RGBA whose top-left pixel is fully transparent.
    Bitmap png;
    ASSERT_GE(PictureFile::load(kamelo::test::testDataFile("formats/png/basn4a08.png"), png), 1);
    EXPECT_EQ(png.pixel(0, 0), 0xFFFFFFu);
    Bitmap sgi;
    ASSERT_GE(PictureFile::load(kamelo::test::testDataFile("formats/sgi/transparent.sgi"), sgi), 1);
    EXPECT_EQ(sgi.pixel(0, 0), 0xFFFFFFu);
}

TEST(Decode, MissingFilesAndFoldersAreErrors) {
    Bitmap b;
    FileInfo info;
    EXPECT_EQ(PictureFile::load("/nonexistent/x.jpg", b), result::kFileNotFound);
    EXPECT_EQ(PictureFile::readInfo("/nonexistent/x.jpg", info), result::kFileNotFound);
    EXPECT_LT(PictureFile::load("/tmp", b), 1);
}
