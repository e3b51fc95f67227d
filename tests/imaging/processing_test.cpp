#include "imaging/colorops.h"
#include "imaging/geometryops.h"
#include "imaging/resize.h"
#include "imaging/result.h"
#include "imaging/sharpenops.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kamelo::imaging;

namespace {

// Every pixel different: red = x, green = y, blue = x + y.
Bitmap ramp(int w, int h) {
    Bitmap b;
    b.create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, uint32_t(x & 0xFF) << 16 | uint32_t(y & 0xFF) << 8 | ((x + y) & 0xFF));
    return b;
}

Bitmap noise(int w, int h, unsigned seed) {
    Bitmap b;
    b.create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * 3; ++x) {
            seed = seed * 1103515245u + 12345u;
            b.row(y)[x] = static_cast<uint8_t>(seed >> 16);
        }
    return b;
}

double variance(const Bitmap& b) {
    double sum = 0, sq = 0;
    const double n = double(b.width()) * b.height() * 3;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width() * 3; ++x) {
            sum += b.row(y)[x];
            sq += double(b.row(y)[x]) * b.row(y)[x];
        }
    return sq / n - (sum / n) * (sum / n);
}

bool same(const Bitmap& a, const Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.row(y), b.row(y), static_cast<size_t>(a.width()) * 3) != 0)
            return false;
    return true;
}

} // namespace

TEST(Resize, OnePixelGrowsIntoAnEvenField) {
    for (int flags : {Resize::kNearest, Resize::kResample, Resize::kBicubic}) {
        Bitmap b;
        b.create(1, 1, 0x336699);
        ASSERT_EQ(Resize::apply(b, 7, 5, flags), 1) << flags;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                ASSERT_EQ(b.pixel(x, y), 0x336699u) << flags;
    }
}

TEST(Resize, ZeroOrNegativeSizesAndUnknownFlagsAreRefusedWithoutChange) {
    Bitmap b = ramp(10, 10);
    const Bitmap before = b;
    EXPECT_EQ(Resize::apply(b, 0, 5, Resize::kBicubic), result::kInvalidParameter);
    EXPECT_EQ(Resize::apply(b, 5, -1, Resize::kResample), result::kInvalidParameter);
    EXPECT_EQ(Resize::apply(b, 5, 5, 3), result::kInvalidParameter);
    EXPECT_TRUE(same(b, before));
    Bitmap empty;
    EXPECT_EQ(Resize::apply(empty, 5, 5, 0), result::kNoBitmap);
}

TEST(Resize, FlatColourStaysFlatAtEveryScale) {
    for (int flags : {Resize::kResample, Resize::kBicubic})
        for (auto [w, h] : {std::pair{3, 2}, std::pair{97, 31}, std::pair{401, 263}}) {
            Bitmap b;
            b.create(200, 100, 0x80C040);
            ASSERT_EQ(Resize::apply(b, w, h, flags), 1);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(b.pixel(x, y), 0x80C040u) << flags << " " << w << "x" << h;
        }
}

TEST(Resize, AreaAveragingHalvesTwoByTwoBlocks) {
    Bitmap b;
    b.create(4, 2);
    const uint8_t values[] = {0, 100, 200, 40};
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 2; ++y)
            b.setPixel(x, y, values[x] * 0x010101u);
    ASSERT_EQ(Resize::apply(b, 2, 1, Resize::kResample), 1);
    EXPECT_EQ(b.pixel(0, 0), 50u * 0x010101u);
    EXPECT_EQ(b.pixel(1, 0), 120u * 0x010101u);
}

TEST(Resize, NearestPicksTheCoveringPixel) {
    Bitmap b = ramp(4, 4);
    ASSERT_EQ(Resize::apply(b, 8, 2, Resize::kNearest), 1);
    EXPECT_EQ(b.pixel(0, 0), ramp(4, 4).pixel(0, 1));
    EXPECT_EQ(b.pixel(7, 1), ramp(4, 4).pixel(3, 3));
}

TEST(Rotate, QuarterTurnsMoveCornersAndSwapTheCanvas) {
    const Bitmap src = ramp(3, 2); // top-left (0,0), top-right (2,0)
    Bitmap right = src;
    ASSERT_EQ(GeometryOps::rotate(right, 9000), 1);
    ASSERT_EQ(right.width(), 2);
    ASSERT_EQ(right.height(), 3);
    // Turning right puts the old bottom-left at the top-left.
    EXPECT_EQ(right.pixel(0, 0), src.pixel(0, 1));
    EXPECT_EQ(right.pixel(1, 0), src.pixel(0, 0));
    EXPECT_EQ(right.pixel(1, 2), src.pixel(2, 0));

    Bitmap left = src;
    ASSERT_EQ(GeometryOps::rotate(left, -9000), 1);
    EXPECT_EQ(left.pixel(0, 0), src.pixel(2, 0));
    EXPECT_EQ(left.pixel(0, 2), src.pixel(0, 0));

    Bitmap half = src;
    ASSERT_EQ(GeometryOps::rotate(half, 18000), 1);
    EXPECT_EQ(half.pixel(0, 0), src.pixel(2, 1));

    Bitmap back = right;
    ASSERT_EQ(GeometryOps::rotate(back, -9000), 1);
    EXPECT_TRUE(same(back, src));
    EXPECT_EQ(GeometryOps::rotate(back, 4500), result::kInvalidParameter);
}

TEST(Mirror, FlipAndReverseAreTheirOwnInverse) {
    const Bitmap src = ramp(5, 3);
    Bitmap b = src;
    GeometryOps::flip(b);
    EXPECT_EQ(b.pixel(1, 0), src.pixel(1, 2));
    GeometryOps::flip(b);
    EXPECT_TRUE(same(b, src));
    GeometryOps::reverse(b);
    EXPECT_EQ(b.pixel(0, 1), src.pixel(4, 1));
    GeometryOps::reverse(b);
    EXPECT_TRUE(same(b, src));
}

TEST(TrimAndCombine, RectanglesAreClippedToThePictures) {
    Bitmap b = ramp(10, 8);
    ASSERT_EQ(GeometryOps::trim(b, Rect{-5, 6, 8, 100}), 1);
    EXPECT_EQ(b.width(), 3);
    EXPECT_EQ(b.height(), 2);
    EXPECT_EQ(b.pixel(0, 0), ramp(10, 8).pixel(0, 6));
    EXPECT_EQ(GeometryOps::trim(b, Rect{50, 50, 5, 5}), result::kInvalidParameter);

    Bitmap canvas;
    canvas.create(6, 6, 0xFFFFFF);
    const Bitmap src = ramp(4, 4);
    // Paste partly outside on the top-left: only the overlapping part lands.
    ASSERT_EQ(GeometryOps::combine(canvas, src, -1, -2, 4, 4, 0, 0), 1);
    EXPECT_EQ(canvas.pixel(0, 0), src.pixel(1, 2));
    EXPECT_EQ(canvas.pixel(2, 1), src.pixel(3, 3));
    EXPECT_EQ(canvas.pixel(3, 0), 0xFFFFFFu);
    // A source rectangle running off the source is cut at its edge.
    ASSERT_EQ(GeometryOps::combine(canvas, src, 4, 4, 10, 10, 2, 2), 1);
    EXPECT_EQ(canvas.pixel(5, 5), src.pixel(3, 3));
}

TEST(AlphaBlend, OpacityEndsAndMiddle) {
    Bitmap src;
    src.create(2, 2, 0xFF0000);
    for (auto [opacity, expected] :
         {std::pair{0, 0x0000FFu}, std::pair{255, 0xFF0000u}, std::pair{128, 0x80007Fu}}) {
        Bitmap dst;
        dst.create(2, 2, 0x0000FF);
        ASSERT_EQ(ColorOps::alphaBlend(dst, 0, 0, 2, 2, src, 0, 0, opacity), 1);
        EXPECT_EQ(dst.pixel(1, 1), expected) << opacity;
    }
    Bitmap dst;
    dst.create(2, 2);
    EXPECT_EQ(ColorOps::alphaBlend(dst, 0, 0, 2, 2, src, 0, 0, 256), result::kInvalidParameter);
}

TEST(GrayScale, WeightsInThousandths) {
    Bitmap b;
    b.create(1, 1, 0x30C060); // r 48, g 192, b 96
    ASSERT_EQ(ColorOps::grayScale(b, 333, 333, 334), 1);
    EXPECT_EQ(b.pixel(0, 0), 112u * 0x010101u); // (48*333 + 192*333 + 96*334 + 500) / 1000
}

TEST(Histograms, LuminanceUsesTheGivenWeights) {
    Bitmap b;
    b.create(2, 1, 0xFF0000);
    b.setPixel(1, 0, 0x0000FF);
    const auto h = ColorOps::histograms(b);
    EXPECT_EQ(h[0][77], 1u); // 0.3 * 255 + 0.5
    EXPECT_EQ(h[0][28], 1u); // 0.11 * 255 + 0.5
    EXPECT_EQ(h[1][255], 1u);
    EXPECT_EQ(h[3][255], 1u);
    std::array<uint8_t, 256> invert;
    for (int i = 0; i < 256; ++i)
        invert[i] = static_cast<uint8_t>(255 - i);
    ColorOps::applyTables(b, invert, invert, invert);
    EXPECT_EQ(b.pixel(0, 0), 0x00FFFFu);
}

TEST(Sharpness, ZeroChangesNothingAndMoreGoesFurther) {
    const Bitmap src = noise(200, 150, 7);
    Bitmap b = src;
    ASSERT_EQ(SharpenOps::sharpen(b, 0), 1);
    EXPECT_TRUE(same(b, src));
    ASSERT_EQ(SharpenOps::gaussianBlur(b, 0), 1);
    EXPECT_TRUE(same(b, src));

    Bitmap blurred = src;
    // Start from a softened picture so sharpening has room before clipping.
    SharpenOps::gaussianBlur(blurred, 4);
    double last = variance(blurred);
    for (int strength : {200, 600, 970}) {
        Bitmap s = blurred;
        ASSERT_EQ(SharpenOps::sharpen(s, strength), 1);
        const double v = variance(s);
        EXPECT_GT(v, last) << strength;
        last = v;
    }
    double lastBlur = variance(src);
    for (int radius : {1, 5, 20}) {
        Bitmap g = src;
        ASSERT_EQ(SharpenOps::gaussianBlur(g, radius), 1);
        const double v = variance(g);
        EXPECT_LT(v, lastBlur) << radius;
        lastBlur = v;
    }
    EXPECT_EQ(SharpenOps::sharpen(b, 1001), result::kInvalidParameter);
    EXPECT_EQ(SharpenOps::gaussianBlur(b, 101), result::kInvalidParameter);
}

TEST(UnsharpMask, DifferencesBelowTheThresholdAreLeftAlone) {
    // A soft step of 4 levels and one hard edge of 100.
    Bitmap b;
    b.create(40, 1, 0x646464);
    for (int x = 0; x < 10; ++x)
        b.setPixel(x, 0, 0x606060);
    for (int x = 30; x < 40; ++x)
        b.setPixel(x, 0, 0xC8C8C8);
    const Bitmap src = b;
    ASSERT_EQ(SharpenOps::unsharpMask(b, 200, 2, 10), 1);
    EXPECT_EQ(b.pixel(9, 0), src.pixel(9, 0)); // the 4-level step stays
    EXPECT_EQ(b.pixel(10, 0), src.pixel(10, 0));
    EXPECT_GT(b.pixel(30, 0) & 0xFF, 0xC8u); // the hard edge overshoots
    EXPECT_LT(b.pixel(29, 0) & 0xFF, 0x64u);
}
