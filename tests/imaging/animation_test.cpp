#include "imaging/memorybudget.h"
#include "imaging/picturefile.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kamelo::imaging;

TEST(Animation, FramesDelaysAndDisposalOfTheSamples) {
    KAMELO_REQUIRE_TESTDATA();
    struct Case {
        const char* file;
        int frames;
        Disposal disposal;
    };
    for (const Case& c : {Case{"dispose_none.gif", 5, Disposal::Keep},
                          Case{"dispose_bgnd.gif", 5, Disposal::Background},
                          Case{"dispose_prev.gif", 5, Disposal::Previous}}) {
        SCOPED_TRACE(c.file);
        AnimatedBitmap a;
        ASSERT_GE(PictureFile::loadAnimation(
                      kamelo::test::testDataFile(std::string("formats/gif/") + c.file), a),
                  1);
        ASSERT_EQ(a.frameCount(), c.frames);
        for (int i = 1; i < a.frameCount(); ++i) {
            EXPECT_EQ(a.frame(i).disposal, c.disposal);
            EXPECT_EQ(a.frame(i).bitmap.width(), 100);
            EXPECT_GT(a.frame(i).delayMs, 0);
            EXPECT_EQ(a.frame(i).delayMs % 10, 0); // hundredths of a second in the file
        }
    }
}

TEST(Animation, CompositingHonoursDisposal) {
    KAMELO_REQUIRE_TESTDATA();
    AnimatedBitmap keep, background;
    ASSERT_GE(PictureFile::loadAnimation(kamelo::test::testDataFile("formats/gif/dispose_none.gif"),
                                         keep),
              1);
    ASSERT_GE(PictureFile::loadAnimation(kamelo::test::testDataFile("formats/gif/dispose_bgnd.gif"),
                                         background),
              1);
    // The same frames: with "keep" every later screen still shows the first
    // frame where nothing covers it; "background" clears each sub-frame.
    const Bitmap& first = keep.frame(0).bitmap;
    const Bitmap& lastKeep = keep.frame(4).bitmap;
    int keptDiffers = 0, clearedWhite = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            if (lastKeep.pixel(x, y) != background.frame(4).bitmap.pixel(x, y))
                ++keptDiffers;
            if (background.frame(4).bitmap.pixel(x, y) == 0xFFFFFF && first.pixel(x, y) != 0xFFFFFF)
                ++clearedWhite;
        }
    EXPECT_GT(keptDiffers, 0);
    EXPECT_GT(clearedWhite, 0);
}

TEST(Animation, TransparencyIsReportedPerFrame) {
    KAMELO_REQUIRE_TESTDATA();
    AnimatedBitmap a;
    ASSERT_GE(PictureFile::loadAnimation(
                  kamelo::test::testDataFile("formats/gif/dispose_bgnd_transparency.gif"), a),
              1);
    ASSERT_EQ(a.frameCount(), 10);
    EXPECT_TRUE(a.frame(0).transparencyEnabled);
    EXPECT_FALSE(a.frame(0).palette.empty());
    AnimatedBitmap still;
    ASSERT_GE(
        PictureFile::loadAnimation(kamelo::test::testDataFile("formats/gif/hopper.gif"), still), 1);
    EXPECT_EQ(still.frameCount(), 1);
    EXPECT_FALSE(still.frame(0).transparencyEnabled);
}

TEST(Animation, TheCurrentFrameWrapsBothWays) {
    AnimatedBitmap a;
    EXPECT_EQ(a.next(), 0);
    for (int i = 0; i < 3; ++i)
        a.append(AnimationFrame{});
    EXPECT_EQ(a.previous(), 2);
    EXPECT_EQ(a.next(), 0);
    EXPECT_EQ(a.next(), 1);
    a.setCurrentIndex(7); // out of range: ignored
    EXPECT_EQ(a.currentIndex(), 1);
}

TEST(Animation, ASingleFrameOfAGifLoadsComposited) {
    KAMELO_REQUIRE_TESTDATA();
    const std::string path = kamelo::test::testDataFile("formats/gif/dispose_none.gif");
    AnimatedBitmap a;
    ASSERT_GE(PictureFile::loadAnimation(path, a), 1);
    LoadOptions o;
    o.page = 3;
    Bitmap third;
    ASSERT_GE(PictureFile::load(path, third, o), 1);
    for (int y = 0; y < 100; y += 7)
        for (int x = 0; x < 100; x += 7)
            ASSERT_EQ(third.pixel(x, y), a.frame(3).bitmap.pixel(x, y));
    o.page = 5;
    EXPECT_LT(PictureFile::load(path, third, o), 1);
}

TEST(Animation, ABudgetKeepsWholeScreensOrPatchesWhicheverKeepsMore) {
    KAMELO_REQUIRE_TESTDATA();
    // A budget of four screens: frames that change the whole screen stay
    // whole screens; small changing parts become patches on one screen,
    // which play exactly as the whole screens do, stepped either way.
    for (const auto& [file, patched] :
         {std::pair{"40frames.gif", false}, std::pair{"dispose_none.gif", true},
          std::pair{"dispose_bgnd.gif", true}, std::pair{"dispose_prev.gif", true}}) {
        SCOPED_TRACE(file);
        const std::string path = kamelo::test::testDataFile(std::string("formats/gif/") + file);
        AnimatedBitmap whole, kept;
        ASSERT_GE(PictureFile::loadAnimation(path, whole), 1);
        const Bitmap& first = whole.frame(0).bitmap;
        memorybudget::setLimitsForTesting(0, 0, size_t(first.stride()) * first.height() * 4);
        const int rc = PictureFile::loadAnimation(path, kept);
        memorybudget::setLimitsForTesting(0, 0, 0);
        ASSERT_GE(rc, 1);
        EXPECT_EQ(kept.patched(), patched);
        ASSERT_GT(kept.frameCount(), 1);
        EXPECT_EQ(kept.frameCount() + kept.framesLeftOut(), whole.frameCount());
        const int last = kept.frameCount() - 1;
        Bitmap shown;
        kept.present(shown);
        auto showing = [&](int i) {
            return shown.byteCount() == whole.frame(i).bitmap.byteCount() &&
                   std::equal(shown.bits(), shown.bits() + shown.byteCount(),
                              whole.frame(i).bitmap.bits());
        };
        for (int i = 0; i <= last; kept.advance(shown, true), ++i)
            EXPECT_TRUE(showing(i)) << i;
        EXPECT_TRUE(showing(0)); // wrapped round
        kept.advance(shown, false);
        EXPECT_TRUE(showing(last));
        kept.advance(shown, false);
        EXPECT_TRUE(showing(last - 1));
    }
}
