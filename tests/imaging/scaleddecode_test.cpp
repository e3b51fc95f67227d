// Decoding a JPEG at the size it is shown, and lending a spare picture's
// memory to the next decode.
#include "imaging/bitmap.h"
#include "imaging/jpegcodec.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"

#include <QBuffer>
#include <QImage>

#include <cstring>

#include <gtest/gtest.h>

using namespace kamelo::imaging;

namespace {

std::vector<uint8_t> jpegOf(int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            img.setPixel(x, y, qRgb(x % 256, y % 256, (x + y) % 256));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "JPEG", 90);
    return {bytes.begin(), bytes.end()};
}

} // namespace

TEST(ScaledDecode, TheSmallestScaleThatStillCoversTheShownSize) {
    // 6000 x 4000 shown at 1500 x 1000: a quarter covers it exactly.
    EXPECT_EQ(jpegcodec::scaleDenominatorFor(6000, 4000, 1500, 1000), 4);
    // One pixel more and a quarter falls short.
    EXPECT_EQ(jpegcodec::scaleDenominatorFor(6000, 4000, 1501, 1000), 2);
    EXPECT_EQ(jpegcodec::scaleDenominatorFor(6000, 4000, 1500, 1001), 2);
    EXPECT_EQ(jpegcodec::scaleDenominatorFor(6000, 4000, 750, 500), 8);
    EXPECT_EQ(jpegcodec::scaleDenominatorFor(6000, 4000, 1, 1), 8);
    // Sides that do not divide come out rounded up: 6001 / 8 gives 751.
    EXPECT_EQ(jpegcodec::scaleDenominatorFor(6001, 4001, 751, 501), 8);
    EXPECT_EQ(jpegcodec::scaleDenominatorFor(6001, 4001, 752, 501), 4);
    // Shown at or above its own size: the whole picture.
    EXPECT_EQ(jpegcodec::scaleDenominatorFor(6000, 4000, 3001, 2000), 1);
    EXPECT_EQ(jpegcodec::scaleDenominatorFor(6000, 4000, 6000, 4000), 1);
    EXPECT_EQ(jpegcodec::scaleDenominatorFor(6000, 4000, 9000, 6000), 1);
    // Nothing shown or no picture: nothing to gain, the whole picture.
    EXPECT_EQ(jpegcodec::scaleDenominatorFor(6000, 4000, 0, 100), 1);
    EXPECT_EQ(jpegcodec::scaleDenominatorFor(0, 4000, 10, 10), 1);
    EXPECT_EQ(jpegcodec::scaleDenominatorFor(-5, -5, 1, 1), 1);
}

TEST(ScaledDecode, TheChosenScaleDecodesToAtLeastTheShownSize) {
    const std::vector<uint8_t> jpeg = jpegOf(803, 601);
    for (const auto& [w, h] : {std::pair{100, 75}, std::pair{101, 75}, std::pair{200, 150},
                               std::pair{201, 151}, std::pair{402, 301}, std::pair{803, 601}}) {
        const int denom = jpegcodec::scaleDenominatorFor(803, 601, w, h);
        LoadOptions o;
        o.scaleDenominator = denom;
        Bitmap b;
        ASSERT_EQ(PictureFile::load(jpeg.data(), jpeg.size(), "a.jpg", b, o), result::kSuccess);
        EXPECT_EQ(b.width(), jpegcodec::scaledSide(803, denom));
        EXPECT_EQ(b.height(), jpegcodec::scaledSide(601, denom));
        EXPECT_GE(b.width(), w);
        EXPECT_GE(b.height(), h);
    }
}

TEST(ScaledDecode, ASparePictureOfTheSameSizeLendsItsMemory) {
    const std::vector<uint8_t> jpeg = jpegOf(640, 480);
    Bitmap expected;
    ASSERT_EQ(PictureFile::load(jpeg.data(), jpeg.size(), "a.jpg", expected), 1);

    Bitmap spare;
    ASSERT_EQ(spare.create(640, 480, 0xFF0000), 1);
    spare.setPalette({1, 2, 3});
    const uint8_t* pages = spare.bits();
    LoadOptions o;
    o.reuse = &spare;
    Bitmap out;
    ASSERT_EQ(PictureFile::load(jpeg.data(), jpeg.size(), "a.jpg", out, o), 1);
    EXPECT_EQ(out.bits(), pages);
    EXPECT_FALSE(spare.isAllocated());
    EXPECT_TRUE(out.palette().empty());
    ASSERT_EQ(out.byteCount(), expected.byteCount());
    EXPECT_EQ(0, std::memcmp(out.bits(), expected.bits(), out.byteCount()));
}

TEST(ScaledDecode, ASpareOfAnotherSizeOrAFailedLoadIsLetGo) {
    const std::vector<uint8_t> jpeg = jpegOf(64, 48);
    Bitmap spare;
    ASSERT_EQ(spare.create(65, 48), 1);
    LoadOptions o;
    o.reuse = &spare;
    Bitmap out;
    ASSERT_EQ(PictureFile::load(jpeg.data(), jpeg.size(), "a.jpg", out, o), 1);
    EXPECT_EQ(out.width(), 64);
    EXPECT_FALSE(spare.isAllocated());

    // A cut file fails and still does not keep the spare.
    ASSERT_EQ(spare.create(64, 48), 1);
    const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + 40);
    EXPECT_LT(PictureFile::load(cut.data(), cut.size(), "a.jpg", out, o), 1);
    EXPECT_FALSE(spare.isAllocated());
    // So does a picture in another format.
    ASSERT_EQ(spare.create(64, 48), 1);
    const uint8_t png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    EXPECT_LT(PictureFile::load(png, sizeof png, "a.png", out, o), 1);
    EXPECT_FALSE(spare.isAllocated());
}
