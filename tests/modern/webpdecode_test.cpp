#include "imaging/modern/webpcodec.h"
#include "imaging/result.h"
#include "webpsamples.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace kamelo::imaging;
using namespace kamelo::test::webp;

namespace {

class WebPDecode : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(samples().error.empty()) << samples().error; }
};

bool near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16})
        if (std::abs(int(a >> shift & 255) - int(b >> shift & 255)) > tolerance)
            return false;
    return true;
}

struct StillCase {
    std::string Samples::*file;
    int width, height, bits, x, y;
    uint32_t rgb;
    int tolerance;
};

const StillCase kStills[] = {
    {&Samples::halvesLossless, 64, 48, 24, 10, 10, 0xC03020, 0},
    {&Samples::halvesLossless, 64, 48, 24, 50, 40, 0x2060A0, 0},
    {&Samples::halvesLossy, 64, 48, 24, 10, 10, 0xC03020, 12},
    {&Samples::gradientLossless, 301, 203, 24, 300, 202, 0x2CCA80, 0},
    {&Samples::gradientLossy, 301, 203, 24, 100, 50, 0x643280, 16},
    {&Samples::alpha, 40, 30, 32, 5, 5, 0x00FF00, 0},
    {&Samples::alpha, 40, 30, 32, 30, 5, 0xFFFFFF, 0}, // transparent: white
    {&Samples::withExif, 64, 48, 24, 50, 10, 0x2060A0, 12},
};

TEST_F(WebPDecode, InfoAndPixelsOfStillPictures) {
    for (const StillCase& c : kStills) {
        SCOPED_TRACE(samples().*c.file);
        const auto bytes = bytesOf(samples().*c.file);
        FileInfo info;
        ASSERT_EQ(webpcodec::readInfo(viewOf(bytes), info), result::kSuccess);
        EXPECT_EQ(info.format, PictureFormat::WebP);
        EXPECT_EQ(info.width, c.width);
        EXPECT_EQ(info.height, c.height);
        EXPECT_EQ(info.bitsPerPixel, c.bits);
        EXPECT_EQ(info.compression, "WebP");
        EXPECT_EQ(info.pageCount, 1);
        Bitmap b;
        ASSERT_EQ(webpcodec::decode(viewOf(bytes), LoadOptions{}, b), result::kSuccess);
        ASSERT_EQ(b.width(), c.width);
        ASSERT_EQ(b.height(), c.height);
        EXPECT_EQ(b.sourceBitsPerPixel(), c.bits);
        EXPECT_PRED3(near, b.pixel(c.x, c.y), c.rgb, c.tolerance);
    }
}

TEST_F(WebPDecode, ScaledDecodeRoundsUp) {
    for (auto file : {&Samples::gradientLossless, &Samples::gradientLossy, &Samples::alpha}) {
        const auto bytes = bytesOf(samples().*file);
        Bitmap full;
        ASSERT_EQ(webpcodec::decode(viewOf(bytes), LoadOptions{}, full), result::kSuccess);
        for (int n : {2, 4, 8}) {
            LoadOptions o;
            o.scaleDenominator = n;
            Bitmap b;
            ASSERT_EQ(webpcodec::decode(viewOf(bytes), o, b), result::kSuccess);
            EXPECT_EQ(b.width(), (full.width() + n - 1) / n);
            EXPECT_EQ(b.height(), (full.height() + n - 1) / n);
        }
    }
}

// Bands follow each other from the top, hold their final rows when they are
// handed over, and a callback's code stops the load.
TEST_F(WebPDecode, BandsAreFinalAndAbortStops) {
    for (auto file : {&Samples::gradientLossless, &Samples::gradientLossy, &Samples::alpha}) {
        const auto bytes = bytesOf(samples().*file);
        std::vector<std::vector<uint8_t>> seen;
        int next = 0;
        LoadOptions o;
        o.bandRows = 16;
        o.onRows = [&](const Bitmap& b, int first, int count, int pass) {
            EXPECT_EQ(first, next);
            EXPECT_EQ(pass, 0);
            EXPECT_TRUE(count == 16 || first + count == b.height());
            for (int y = first; y < first + count; ++y)
                seen.emplace_back(b.row(y), b.row(y) + b.width() * 3);
            next = first + count;
            return 1;
        };
        Bitmap b;
        ASSERT_EQ(webpcodec::decode(viewOf(bytes), o, b), result::kSuccess);
        ASSERT_EQ(next, b.height());
        for (int y = 0; y < b.height(); ++y)
            ASSERT_EQ(std::memcmp(seen[size_t(y)].data(), b.row(y), size_t(b.width()) * 3), 0);

        o.onRows = [](const Bitmap&, int, int, int) { return -1086; };
        Bitmap stopped;
        EXPECT_EQ(webpcodec::decode(viewOf(bytes), o, stopped), -1086);
        EXPECT_FALSE(stopped.isAllocated());
    }
}

TEST_F(WebPDecode, OrientationFromTheExifChunk) {
    EXPECT_EQ(webpcodec::readOrientation(samples().withExif), 6);
    EXPECT_EQ(webpcodec::readOrientation(samples().halvesLossy), 1);
    EXPECT_EQ(webpcodec::readOrientation(samples().animation), 1);
    EXPECT_EQ(webpcodec::readOrientation(samples().dir), 1); // a folder
    EXPECT_EQ(webpcodec::readOrientation(samples().dir + "/none.webp"), 1);
}

// Files cut short or damaged in their headers are refused, and so is a
// header declaring far more pixels than the file could hold.
struct Damage {
    const char* name;
    std::string Samples::*file;
    std::function<void(std::vector<uint8_t>&)> apply;
};

void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

const Damage kDamages[] = {
    {"lossy cut in half", &Samples::gradientLossy, [](auto& b) { b.resize(b.size() / 2); }},
    {"lossless cut in half", &Samples::gradientLossless, [](auto& b) { b.resize(b.size() / 2); }},
    {"alpha cut", &Samples::alpha, [](auto& b) { b.resize(b.size() - 9); }},
    {"animation cut", &Samples::animation, [](auto& b) { b.resize(b.size() * 2 / 3); }},
    {"header only", &Samples::halvesLossy, [](auto& b) { b.resize(14); }},
    {"not webp", &Samples::halvesLossy, [](auto& b) { b[11] = 'Q'; }},
    {"lossy signature lost", &Samples::halvesLossy,
     [](auto& b) { std::fill(b.begin() + 20, b.begin() + 40, 0); }},
    {"lossless signature lost", &Samples::halvesLossless, [](auto& b) { b[20] = 0; }},
    // 16384 x 16384 declared in the lossless header of a few hundred bytes.
    {"lossless bomb", &Samples::halvesLossless,
     [](auto& b) { put32(b, 21, 0x3FFFu | 0x3FFFu << 14); }},
    // The animation's canvas grown to 16384 x 16384 around its small frames.
    {"canvas bomb", &Samples::animation,
     [](auto& b) {
         const uint8_t side[3] = {0xFF, 0x3F, 0};
         std::copy(side, side + 3, b.begin() + 24);
         std::copy(side, side + 3, b.begin() + 27);
     }},
};

TEST_F(WebPDecode, CutAndDamagedFilesAreRefused) {
    for (const Damage& d : kDamages) {
        SCOPED_TRACE(d.name);
        auto bytes = bytesOf(samples().*d.file);
        d.apply(bytes);
        Bitmap b;
        EXPECT_LT(webpcodec::decode(viewOf(bytes), LoadOptions{}, b), 1);
        EXPECT_FALSE(b.isAllocated());
        AnimatedBitmap a;
        EXPECT_LT(webpcodec::decodeAnimation(viewOf(bytes), a), 1);
        EXPECT_TRUE(a.empty());
    }
}

} // namespace
