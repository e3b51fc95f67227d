#include "imaging/memorybudget.h"
#include "imaging/modern/webpcodec.h"
#include "imaging/result.h"
#include "webpsamples.h"

#include <gtest/gtest.h>

using namespace kamelo::imaging;
using namespace kamelo::test::webp;

namespace {

class WebPAnimation : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(samples().error.empty()) << samples().error; }
    void TearDown() override { memorybudget::setLimitsForTesting(0, 0, 0); }
};

constexpr uint32_t R = 0xFF0000, G = 0x00FF00, B = 0x0000FF, W = 0xFFFFFF;
struct Probe {
    int x, y;
};
constexpr Probe kProbes[] = {{10, 10}, {20, 6}, {0, 0}};
using Colours = uint32_t[3][3];
// The colours at kProbes in each frame of the sample animations; the blue
// square disposed to background leaves white behind.
constexpr Colours kFrameColours = {{R, R, R}, {B, R, R}, {R, G, R}};
constexpr Colours kDisposedColours = {{R, R, R}, {B, R, R}, {W, G, R}};

void expectFrame(const Bitmap& shown, int frame, const Colours& colours = kFrameColours) {
    ASSERT_EQ(shown.width(), 32);
    ASSERT_EQ(shown.height(), 24);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(shown.pixel(kProbes[i].x, kProbes[i].y), colours[frame][i])
            << "frame " << frame << " probe " << i;
}

TEST_F(WebPAnimation, InfoCountsFramesAndLoops) {
    const auto bytes = bytesOf(samples().animation);
    FileInfo info;
    ASSERT_EQ(webpcodec::readInfo(viewOf(bytes), info), result::kSuccess);
    EXPECT_EQ(info.width, 32);
    EXPECT_EQ(info.height, 24);
    EXPECT_EQ(info.pageCount, 3);
    EXPECT_EQ(info.compression, "WebP");
    int loops = -1;
    ASSERT_EQ(webpcodec::readLoopCount(viewOf(bytes), loops), result::kSuccess);
    EXPECT_EQ(loops, 3);
    ASSERT_EQ(webpcodec::readLoopCount(viewOf(bytesOf(samples().flashes)), loops),
              result::kSuccess);
    EXPECT_EQ(loops, 0);
}

TEST_F(WebPAnimation, DecodeGivesTheComposedFrame) {
    const auto bytes = bytesOf(samples().animation);
    for (int page = 0; page < 3; ++page) {
        LoadOptions o;
        o.page = page;
        Bitmap b;
        ASSERT_EQ(webpcodec::decode(viewOf(bytes), o, b), result::kSuccess);
        expectFrame(b, page);
    }
    LoadOptions beyond;
    beyond.page = 3;
    Bitmap b;
    EXPECT_EQ(webpcodec::decode(viewOf(bytes), beyond, b), result::kInvalidParameter);
}

// Whole screens with room to spare, patches when only they fit, and frames
// left out when neither keeps them all; the frames play the same way.
struct BudgetCase {
    const char* name;
    std::string Samples::*file;
    size_t budget; // 0: the default
    bool patched;
    int frames;
    const Colours* colours = nullptr;
};

const BudgetCase kBudgets[] = {
    {"default", &Samples::animation, 0, false, 3, &kFrameColours},
    {"patches", &Samples::animation, 6500, true, 3, &kFrameColours},
    {"disposed", &Samples::disposing, 0, false, 3, &kDisposedColours},
    {"disposed patches", &Samples::disposing, 6500, true, 3, &kDisposedColours},
    {"left out", &Samples::flashes, 6500, false, 1},
};

TEST_F(WebPAnimation, FramesDelaysAndBudget) {
    for (const BudgetCase& c : kBudgets) {
        SCOPED_TRACE(c.name);
        memorybudget::setLimitsForTesting(0, 0, c.budget);
        AnimatedBitmap a;
        ASSERT_EQ(webpcodec::decodeAnimation(viewOf(bytesOf(samples().*c.file)), a),
                  result::kSuccess);
        EXPECT_EQ(a.patched(), c.patched);
        ASSERT_EQ(a.frameCount(), c.frames);
        EXPECT_EQ(a.framesLeftOut(), 3 - c.frames);
        if (!c.colours)
            continue;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(a.frame(i).delayMs, kAnimationDelays[i]);
        Bitmap shown;
        a.present(shown);
        expectFrame(shown, 0, *c.colours);
        for (int step : {1, 2, 0}) {
            a.advance(shown, true);
            expectFrame(shown, step, *c.colours);
        }
        a.advance(shown, false);
        expectFrame(shown, 2, *c.colours);
    }
}

} // namespace
