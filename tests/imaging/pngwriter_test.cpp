#include "imaging/picturefile.h"
#include "imaging/pngwriter.h"

#include <gtest/gtest.h>

using namespace kamelo::imaging;

namespace {

// Smooth areas, edges and noise, so every filter gets chosen somewhere.
Bitmap mixed(int w, int h) {
    Bitmap b;
    b.allocate(w, h);
    uint32_t seed = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const uint32_t noise = (x / 37 + y / 23) % 3 == 0 ? (seed >> 8) & 0xFFFFFF : 0;
            b.setPixel(x, y,
                       noise ^ (uint32_t(x & 0xFF) << 16 | uint32_t(y & 0xFF) << 8 |
                                uint32_t((x * y) & 0xFF)));
        }
    return b;
}

void expectSame(const Bitmap& a, const std::vector<uint8_t>& png) {
    Bitmap back;
    ASSERT_EQ(PictureFile::load(png.data(), png.size(), "x.png", back), 1);
    ASSERT_EQ(back.width(), a.width());
    ASSERT_EQ(back.height(), a.height());
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            ASSERT_EQ(back.pixel(x, y), a.pixel(x, y)) << x << "," << y;
}

} // namespace

TEST(PngWriter, TinyAndThinPicturesRoundTrip) {
    for (auto [w, h] : {std::pair{1, 1}, {1, 300}, {300, 1}, {3, 2}}) {
        const Bitmap b = mixed(w, h);
        std::vector<uint8_t> png;
        ASSERT_EQ(pngwriter::encode(b, png, 4), 1);
        expectSame(b, png);
    }
    std::vector<uint8_t> png;
    EXPECT_EQ(pngwriter::encode(Bitmap(), png), -18);
}

TEST(PngWriter, BandsOnSeveralThreadsJoinIntoOneStreamOfTheSameSize) {
    // 1300 x 700: about 2.7 MB of rows, five bands of unequal row counts.
    const Bitmap b = mixed(1300, 701);
    std::vector<uint8_t> one, many;
    ASSERT_EQ(pngwriter::encode(b, one, 1), 1);
    ASSERT_EQ(pngwriter::encode(b, many, 5), 1);
    expectSame(b, one);
    expectSame(b, many);
    // Each band is primed with the window before it: hardly any loss.
    EXPECT_LT(double(many.size()), double(one.size()) * 1.01);
}

TEST(PngWriter, StreamsTheSameFileAndStopsWhenTheSinkRefuses) {
    // 2000 x 600: about 3.6 MB of rows, four bands written as they are made.
    const Bitmap b = mixed(2000, 600);
    std::vector<uint8_t> whole, streamed;
    ASSERT_EQ(pngwriter::encode(b, whole, 2), 1);
    size_t pieces = 0;
    ASSERT_EQ(pngwriter::write(b, {},
                               [&](const uint8_t* data, size_t size) {
                                   ++pieces;
                                   streamed.insert(streamed.end(), data, data + size);
                                   return true;
                               },
                               2),
              1);
    EXPECT_EQ(streamed, whole);
    EXPECT_GT(pieces, 4u);
    for (size_t limit : {size_t(0), size_t(100), whole.size() / 2}) {
        size_t taken = 0;
        EXPECT_EQ(pngwriter::write(b, {},
                                   [&](const uint8_t*, size_t size) {
                                       taken += size;
                                       return taken <= limit;
                                   }),
                  -12)
            << limit;
    }
}
