#include "heifsamples.h"

#include "imaging/modern/heifcodec.h"
#include "imaging/result.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace kamelo::imaging;
namespace hs = kamelo::test::heif;

namespace {

class HeifCodec : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(hs::samples().error, ""); }
};

// Points well inside each quarter and near the corners.
const int kProbes[][2] = {{10, 10}, {100, 20}, {20, 110}, {118, 118}, {0, 0}, {127, 127}};

struct Still {
    const char* name;
    std::string hs::Samples::*file;
    const char* compression;
    int bits;
    int tolerance;
};
// heif-enc leaves the coding matrix of its lossless RGB out of the file, and
// libheif then reads the planes back within one step.
const Still kStills[] = {
    {"HEVC lossless", &hs::Samples::heicLossless, "HEIF", 24, 1},
    {"AV1 lossless", &hs::Samples::avifLossless, "AVIF", 24, 0},
    {"AV1 grid", &hs::Samples::avifGrid, "AVIF", 24, 0},
    {"HEVC 10 bits", &hs::Samples::heic10, "HEIF", 30, 1},
    // EXIF orientation 6 in the file: the pixels still come as stored.
    {"HEVC with EXIF", &hs::Samples::heicExif, "HEIF", 24, 1},
};

TEST_F(HeifCodec, StillsDecodeAsStoredToTheirSizeAndColours) {
    for (const Still& s : kStills) {
        SCOPED_TRACE(s.name);
        const auto bytes = hs::bytesOf(hs::samples().*s.file);
        FileInfo info;
        ASSERT_EQ(heifcodec::readInfo(hs::viewOf(bytes), info), result::kSuccess);
        EXPECT_EQ(info.width, hs::kSide);
        EXPECT_EQ(info.height, hs::kSide);
        EXPECT_EQ(info.compression, s.compression);
        EXPECT_EQ(info.bitsPerPixel, s.bits);
        EXPECT_EQ(info.pageCount, 1);
        Bitmap bitmap;
        ASSERT_EQ(heifcodec::decode(hs::viewOf(bytes), LoadOptions{}, bitmap), result::kSuccess);
        ASSERT_EQ(bitmap.width(), hs::kSide);
        ASSERT_EQ(bitmap.height(), hs::kSide);
        EXPECT_EQ(bitmap.sourceBitsPerPixel(), s.bits);
        for (const auto& p : kProbes) {
            const uint32_t want = hs::quarterColour(p[0], p[1], hs::kSide, hs::kSide);
            EXPECT_LE(hs::channelDistance(bitmap.pixel(p[0], p[1]), want), s.tolerance)
                << p[0] << "," << p[1] << " " << std::hex << bitmap.pixel(p[0], p[1]);
        }
    }
}

TEST_F(HeifCodec, TransparencyIsFlattenedOntoWhite) {
    const auto bytes = hs::bytesOf(hs::samples().avifAlpha);
    FileInfo info;
    ASSERT_EQ(heifcodec::readInfo(hs::viewOf(bytes), info), result::kSuccess);
    EXPECT_EQ(info.bitsPerPixel, 32);
    Bitmap bitmap;
    ASSERT_EQ(heifcodec::decode(hs::viewOf(bytes), LoadOptions{}, bitmap), result::kSuccess);
    ASSERT_EQ(bitmap.width(), 64);
    ASSERT_EQ(bitmap.height(), 48);
    EXPECT_EQ(bitmap.pixel(5, 20), hs::kTopLeft);
    EXPECT_EQ(bitmap.pixel(60, 20), 0xFFFFFFu);
    for (auto file : {&hs::Samples::avifHalf, &hs::Samples::avifHalfPremultiplied}) {
        SCOPED_TRACE(hs::samples().*file);
        const auto half = hs::bytesOf(hs::samples().*file);
        ASSERT_EQ(heifcodec::decode(hs::viewOf(half), LoadOptions{}, bitmap), result::kSuccess);
        EXPECT_LE(hs::channelDistance(bitmap.pixel(8, 8), hs::kHalfOverWhite), 1)
            << std::hex << bitmap.pixel(8, 8);
    }
}

TEST_F(HeifCodec, RowsArriveInBandsAndAStopEndsTheLoad) {
    const auto bytes = hs::bytesOf(hs::samples().heicLossless);
    std::vector<std::pair<int, int>> bands;
    LoadOptions options;
    options.bandRows = 20;
    options.onRows = [&](const Bitmap&, int first, int count, int pass) {
        EXPECT_EQ(pass, 0);
        bands.emplace_back(first, count);
        return 1;
    };
    Bitmap bitmap;
    ASSERT_EQ(heifcodec::decode(hs::viewOf(bytes), options, bitmap), result::kSuccess);
    int next = 0;
    for (const auto& [first, count] : bands) {
        EXPECT_EQ(first, next);
        EXPECT_LE(count, 20);
        next = first + count;
    }
    EXPECT_EQ(next, hs::kSide);

    constexpr int kStop = -1087;
    int calls = 0;
    options.onRows = [&](const Bitmap&, int, int, int) { return ++calls == 2 ? kStop : 1; };
    EXPECT_EQ(heifcodec::decode(hs::viewOf(bytes), options, bitmap), kStop);
    EXPECT_EQ(calls, 2);
}

TEST_F(HeifCodec, StampIsTheThumbnailImageWhenThereIsOne) {
    struct Row {
        std::string hs::Samples::*file;
        int result, side;
    };
    const Row rows[] = {{&hs::Samples::heicThumb, result::kSuccess, 32},
                        {&hs::Samples::heicLossless, result::kNoStamp, 0},
                        {&hs::Samples::avifGrid, result::kNoStamp, 0}};
    for (const Row& r : rows) {
        SCOPED_TRACE(hs::samples().*r.file);
        const auto bytes = hs::bytesOf(hs::samples().*r.file);
        Bitmap stamp;
        ASSERT_EQ(heifcodec::readStamp(hs::viewOf(bytes), stamp), r.result);
        if (r.result != result::kSuccess)
            continue;
        ASSERT_EQ(stamp.width(), r.side);
        ASSERT_EQ(stamp.height(), r.side);
        EXPECT_LE(hs::channelDistance(stamp.pixel(4, 4), hs::kTopLeft), 24);
        EXPECT_LE(hs::channelDistance(stamp.pixel(28, 28), hs::kBottomRight), 24);
    }
}

TEST_F(HeifCodec, ExifAndXmpAreTheBlocksExiftoolWrote) {
    kamelo::test::ScratchDir scratch;
    for (auto file : {&hs::Samples::heicExif, &hs::Samples::avifExif}) {
        const std::string path = hs::samples().*file;
        SCOPED_TRACE(path);
        const auto bytes = hs::bytesOf(path);
        std::vector<uint8_t> exif;
        std::string xmp;
        ASSERT_EQ(heifcodec::readMetadata(hs::viewOf(bytes), exif, xmp), result::kSuccess);
        ASSERT_GT(exif.size(), 8u);
        // exiftool's own view of the block it wrote.
        const std::string extracted = hs::output("exiftool -b -EXIF " + hs::quote(path));
        EXPECT_EQ(std::string(exif.begin(), exif.end()), extracted);
        const std::string block = scratch.file("block.exif");
        kamelo::test::writeFile(block, std::string(exif.begin(), exif.end()));
        const std::string rows =
            hs::output("exiftool -s3 -Orientation# -Make -Model -DateTimeOriginal -ExposureTime " +
                       hs::quote(block));
        EXPECT_EQ(rows, std::string("6\n") + hs::kMake + "\n" + hs::kModel + "\n" + hs::kDate +
                            "\n" + hs::kExposure + "\n");
        EXPECT_NE(xmp.find(hs::kTitle), std::string::npos) << xmp;
        EXPECT_NE(xmp.find("x:xmpmeta"), std::string::npos);
    }
    std::vector<uint8_t> exif{1, 2};
    std::string xmp = "stale";
    const auto plain = hs::bytesOf(hs::samples().heicLossless);
    EXPECT_EQ(heifcodec::readMetadata(hs::viewOf(plain), exif, xmp), result::kSuccess);
    EXPECT_TRUE(exif.empty());
    EXPECT_TRUE(xmp.empty());
}

// Cut files must be refused; damaged ones may decode (the codecs conceal
// errors) but only to their own size. Every entry point runs on each.
TEST_F(HeifCodec, CutAndDamagedFilesGiveCodesNotCrashes) {
    for (auto file : {&hs::Samples::heicLossless, &hs::Samples::avifLossless,
                      &hs::Samples::avifGrid, &hs::Samples::heicThumb, &hs::Samples::heicExif}) {
        const auto whole = hs::bytesOf(hs::samples().*file);
        std::vector<std::pair<std::string, std::vector<uint8_t>>> variants;
        for (size_t keep : {size_t(0), size_t(11), size_t(40), whole.size() / 4, whole.size() / 2,
                            whole.size() - 200, whole.size() - 1})
            variants.emplace_back("cut to " + std::to_string(keep),
                                  std::vector<uint8_t>(whole.begin(), whole.begin() + long(keep)));
        for (size_t step : {size_t(3), size_t(17), size_t(101)}) {
            auto damaged = whole;
            for (size_t i = 24; i < damaged.size(); i += step)
                damaged[i] ^= 0x5A;
            variants.emplace_back("every " + std::to_string(step) + " flipped", damaged);
        }
        for (const auto& [name, bytes] : variants) {
            SCOPED_TRACE(hs::samples().*file + " " + name);
            FileInfo info;
            Bitmap picture, stamp;
            std::vector<uint8_t> exif;
            std::string xmp;
            heifcodec::readInfo(hs::viewOf(bytes), info);
            heifcodec::readStamp(hs::viewOf(bytes), stamp);
            heifcodec::readMetadata(hs::viewOf(bytes), exif, xmp);
            const int rc = heifcodec::decode(hs::viewOf(bytes), LoadOptions{}, picture);
            if (name.rfind("cut", 0) == 0) {
                EXPECT_LT(rc, 1);
                EXPECT_FALSE(picture.isAllocated());
            } else if (rc >= 1) {
                EXPECT_EQ(picture.width() * picture.height(), hs::kSide * hs::kSide);
            }
        }
    }
}

TEST_F(HeifCodec, ForgedSizesAreRefusedBeforeDecoding) {
    const auto whole = hs::bytesOf(hs::samples().heicLossless);
    const uint8_t ispe[] = {'i', 's', 'p', 'e'};
    const auto at = std::search(whole.begin(), whole.end(), std::begin(ispe), std::end(ispe));
    ASSERT_NE(at, whole.end());
    const size_t size = size_t(at - whole.begin()) + 8; // after type, version and flags
    struct Row {
        uint32_t width, height;
        int decode;
    };
    const Row rows[] = {{16000, 16000, result::kCorruptData},
                        {40000, 100, result::kTooLarge},
                        {0, 128, result::kCorruptData}};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.width) + "x" + std::to_string(r.height));
        auto forged = whole;
        for (int i = 0; i < 4; ++i) {
            forged[size + i] = uint8_t(r.width >> (24 - 8 * i));
            forged[size + 4 + i] = uint8_t(r.height >> (24 - 8 * i));
        }
        Bitmap bitmap;
        EXPECT_EQ(heifcodec::decode(hs::viewOf(forged), LoadOptions{}, bitmap), r.decode);
        EXPECT_FALSE(bitmap.isAllocated());
    }
}

// libheif sizes its buffer by the stored extent before reading it: one
// reaching past the file is refused before libheif runs, by every entry point.
TEST_F(HeifCodec, ExtentsPastTheFileAreRefused) {
    const auto whole = hs::bytesOf(hs::samples().heicLossless);
    const uint8_t iloc[] = {'i', 'l', 'o', 'c'};
    const auto at = std::search(whole.begin(), whole.end(), std::begin(iloc), std::end(iloc));
    ASSERT_NE(at, whole.end());
    const size_t box = size_t(at - whole.begin()) - 4;
    const size_t boxSize = size_t(whole[box]) << 24 | size_t(whole[box + 1]) << 16 |
                           size_t(whole[box + 2]) << 8 | whole[box + 3];
    ASSERT_EQ(whole[box + 12] & 15, 4) << "four-byte extent lengths expected";
    const size_t lastLength = box + boxSize - 4; // the last item's last extent
    const uint32_t rows[] = {uint32_t(whole.size()) + 1, 0x7fffffffu, 0xffffffffu};
    for (const uint32_t length : rows) {
        SCOPED_TRACE(length);
        auto forged = whole;
        for (int i = 0; i < 4; ++i)
            forged[lastLength + size_t(i)] = uint8_t(length >> (24 - 8 * i));
        FileInfo info;
        Bitmap bitmap, stamp;
        EXPECT_EQ(heifcodec::readInfo(hs::viewOf(forged), info), result::kCorruptData);
        EXPECT_EQ(heifcodec::decode(hs::viewOf(forged), LoadOptions{}, bitmap),
                  result::kCorruptData);
        EXPECT_EQ(heifcodec::readStamp(hs::viewOf(forged), stamp), result::kCorruptData);
        EXPECT_FALSE(bitmap.isAllocated());
    }
    Bitmap bitmap; // the file as written still decodes
    EXPECT_EQ(heifcodec::decode(hs::viewOf(whole), LoadOptions{}, bitmap), result::kSuccess);
}

TEST_F(HeifCodec, AGridLargerThanItsDeclaredSizeIsRefused) {
    const auto whole = hs::bytesOf(hs::samples().avifGrid);
    // Version 0, two-byte sizes, 2 x 2 tiles, 128 x 128.
    const uint8_t grid[] = {0, 0, 1, 1, 0, 128, 0, 128};
    const auto at = std::search(whole.begin(), whole.end(), std::begin(grid), std::end(grid));
    ASSERT_NE(at, whole.end()) << "the grid's description was not found";
    const size_t description = size_t(at - whole.begin());
    for (const int width : {129, 0xffff}) {
        SCOPED_TRACE(width);
        auto forged = whole;
        forged[description + 4] = uint8_t(width >> 8);
        forged[description + 5] = uint8_t(width);
        Bitmap bitmap;
        EXPECT_EQ(heifcodec::decode(hs::viewOf(forged), LoadOptions{}, bitmap),
                  result::kCorruptData);
        EXPECT_FALSE(bitmap.isAllocated());
    }
}

} // namespace
