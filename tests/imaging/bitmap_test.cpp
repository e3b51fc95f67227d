#include "imaging/bitmap.h"
#include "imaging/bitmappainter.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <thread>

using namespace kamelo::imaging;

TEST(Bitmap, RowsArePaddedToFourBytesAndSizesAreChecked) {
    Bitmap b;
    EXPECT_FALSE(b.isAllocated());
    ASSERT_EQ(b.create(5, 3, 0x102030), 1);
    EXPECT_EQ(b.stride(), 16); // 15 bytes of pixels, padded
    EXPECT_EQ(b.pixel(4, 2), 0x102030u);
    EXPECT_EQ(b.row(2)[0], 0x30); // blue first
    EXPECT_EQ(b.create(0, 3), result::kInvalidParameter);
    EXPECT_EQ(b.create(3, -1), result::kInvalidParameter);
    EXPECT_EQ(b.create(1 << 15, 1 << 15), result::kTooLarge);
    EXPECT_TRUE(b.isAllocated()); // a refused create keeps the old picture
    b.free();
    EXPECT_FALSE(b.isAllocated());
    EXPECT_EQ(b.width(), 0);
}

TEST(Bitmap, CopiesAreDeepAndTheViewSharesThePixels) {
    Bitmap a;
    a.create(4, 4, 0xFF0000);
    Bitmap copy = a;
    copy.setPixel(0, 0, 0x00FF00);
    EXPECT_EQ(a.pixel(0, 0), 0xFF0000u);
    const QImage view = a.view();
    EXPECT_EQ(view.constBits(), a.bits());
    EXPECT_EQ(view.pixel(1, 1), qRgb(255, 0, 0));
}

TEST(Bitmap, ImagesWithAlphaAreFlattenedOntoWhite) {
    QImage img(2, 1, QImage::Format_ARGB32);
    img.setPixel(0, 0, qRgba(0, 0, 0, 0));
    img.setPixel(1, 0, qRgba(0, 0, 0, 128));
    const Bitmap b = Bitmap::fromImage(img);
    EXPECT_EQ(b.pixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(b.pixel(1, 0), 0x7F7F7Fu);
}

TEST(BitmapPainter, EveryQualityFillsTheDestination) {
    Bitmap b;
    b.create(40, 20, 0x0000FF);
    for (PaintQuality q : {PaintQuality::Fast, PaintQuality::Smooth, PaintQuality::Best}) {
        QImage canvas(30, 30, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        {
            QPainter p(&canvas);
            BitmapPainter::paint(p, b, QRect(0, 0, 40, 20), QRect(5, 5, 20, 10), q);
        }
        EXPECT_EQ(canvas.pixel(10, 8), qRgb(0, 0, 255)) << int(q);
        EXPECT_EQ(canvas.pixel(2, 2), qRgb(255, 255, 255)) << int(q);
        EXPECT_EQ(canvas.pixel(26, 16), qRgb(255, 255, 255)) << int(q);
    }
}

TEST(Threads, LibraryDecodersCanRunOnSeveralWorkersAtOnce) {
    KAMELO_REQUIRE_TESTDATA();
    const char* files[] = {"pcx/input.pcx", "tga/CTC24.TGA",  "bmp/rgb24.bmp",
                           "pct/VENUS.PCT", "jpg/hopper.jpg", "psd/hopper.psd"};
    std::vector<std::thread> workers;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&, t] {
            for (int round = 0; round < 5; ++round)
                for (const char* f : files) {
                    Bitmap b;
                    if (PictureFile::load(kamelo::test::testDataFile(std::string("formats/") + f),
                                          b) < 1)
                        ++failures;
                }
            (void)t;
        });
    for (auto& w : workers)
        w.join();
    EXPECT_EQ(failures.load(), 0);
}

// A large buffer is faulted in by a helper while it is being written: the
// helper must never change what the writer put there, and freeing the
// buffer while the helper runs must be safe.
TEST(BitmapPrefault, ContentsWrittenMeanwhileSurvive) {
    for (int round = 0; round < 4; ++round) {
        kamelo::imaging::Bitmap b;
        ASSERT_EQ(b.allocate(4000, 3000), kamelo::imaging::result::kSuccess);
        for (int y = 0; y < b.height(); ++y) {
            uint8_t* row = b.row(y);
            for (int x = 0; x < b.width() * 3; ++x)
                row[x] = static_cast<uint8_t>(x * 7 + y * 13 + 1);
        }
        size_t wrong = 0;
        for (int y = 0; y < b.height(); ++y) {
            const uint8_t* row = b.row(y);
            for (int x = 0; x < b.width() * 3; ++x)
                wrong += row[x] != static_cast<uint8_t>(x * 7 + y * 13 + 1);
        }
        EXPECT_EQ(wrong, 0u);
    }
    // Allocated and dropped at once, before the helper could finish.
    for (int i = 0; i < 8; ++i) {
        kamelo::imaging::Bitmap quick;
        ASSERT_EQ(quick.allocate(6000, 4000), kamelo::imaging::result::kSuccess);
        quick.row(0)[0] = 1;
    }
}

// A program ending by exit() (its display lost) while a large picture is in
// memory, its pages perhaps still being faulted in, ends cleanly.
TEST(BitmapDeathTest, ExitWithALargePictureAliveEndsCleanly) {
    EXPECT_EXIT(
        {
            // Held where exit() does not free it, as a window's picture is.
            auto* picture = new Bitmap;
            if (picture->allocate(6000, 4000) < 1)
                std::_Exit(3);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}
