#include "base/settingsstore.h"
#include "edit/core/resizerule.h"
#include "edit/core/rotatecode.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <climits>

using namespace kamelo;
using namespace kamelo::edit;
using kamelo::test::ScratchDir;

namespace {
ResizeSettings bySize(int w, int h, bool keep, int fit) {
    ResizeSettings s;
    s.mode = ResizeSettings::BySize;
    s.width = w;
    s.height = h;
    s.keepRatio = keep ? 1 : 0;
    s.fitSide = fit;
    return s;
}
} // namespace

TEST(ResizeRule, HalfOfAnOddPictureIsTruncated) {
    ResizeSettings s;
    s.percent = 50;
    EXPECT_EQ(ResizeRule::targetSize(s, 101, 75), (PixelSize{50, 37}));
}

TEST(ResizeRule, FitWidthAndHeightKeepTheRatio) {
    EXPECT_EQ(ResizeRule::targetSize(bySize(500, 1, true, 0), 1600, 1200), (PixelSize{500, 375}));
    EXPECT_EQ(ResizeRule::targetSize(bySize(1, 500, true, 1), 1600, 1200), (PixelSize{666, 500}));
}

TEST(ResizeRule, WithoutRatioBothSidesAreTaken) {
    EXPECT_EQ(ResizeRule::targetSize(bySize(321, 123, false, 1), 1600, 1200),
              (PixelSize{321, 123}));
}

TEST(ResizeRule, OnePercentOfANarrowPictureCannotBeMade) {
    ResizeSettings s;
    s.percent = 1;
    const PixelSize size = ResizeRule::targetSize(s, 99, 400);
    EXPECT_EQ(size, (PixelSize{0, 4}));
    EXPECT_FALSE(ResizeRule::makeable(size));
    s.percent = 1;
    EXPECT_TRUE(ResizeRule::makeable(ResizeRule::targetSize(s, 100, 100)));
}

TEST(ResizeRule, HugeScalesSaturateInsteadOfOverflowing) {
    ResizeSettings s;
    s.percent = 5000;
    EXPECT_EQ(ResizeRule::targetSize(s, 100000, 3), (PixelSize{5000000, 150}));
    EXPECT_EQ(ResizeRule::targetSize(bySize(INT_MAX, 1, true, 0), 1, INT_MAX).height, INT_MAX);
    // A zero-sized source cannot divide the fitted side.
    EXPECT_FALSE(ResizeRule::makeable(ResizeRule::targetSize(bySize(500, 1, true, 0), 0, 0)));
}

TEST(ResizeRule, InterpolationIndexMapsToTheLibraryFlag) {
    EXPECT_EQ(ResizeRule::flagForIndex(0), 4);
    EXPECT_EQ(ResizeRule::flagForIndex(1), 2);
    EXPECT_EQ(ResizeRule::flagForIndex(2), 0);
    EXPECT_EQ(ResizeRule::flagForIndex(-1), -1);
    EXPECT_EQ(ResizeRule::flagForIndex(3), -1);
}

TEST(ResizeRule, EnablingFollowsModeRatioAndFitSide) {
    ResizeSettings s;
    auto e = ResizeRule::enabling(s);
    EXPECT_TRUE(e.percent);
    EXPECT_FALSE(e.keepRatio || e.fitSide || e.width || e.height || e.folder);
    s = bySize(1, 1, true, 0);
    e = ResizeRule::enabling(s);
    EXPECT_FALSE(e.percent);
    EXPECT_TRUE(e.keepRatio && e.fitSide && e.width);
    EXPECT_FALSE(e.height);
    s.fitSide = 1;
    e = ResizeRule::enabling(s);
    EXPECT_TRUE(e.height);
    EXPECT_FALSE(e.width);
    s.keepRatio = 0;
    e = ResizeRule::enabling(s);
    EXPECT_TRUE(e.width && e.height && e.keepRatio);
    EXPECT_FALSE(e.fitSide);
    s.saveMode = 1;
    EXPECT_TRUE(ResizeRule::enabling(s).folder);
}

TEST(ResizeSettings, DefaultsAndRoundTripInGeneral) {
    ScratchDir dir;
    SettingsStore store(dir.path() + "/s.sqlite");
    const ResizeSettings d = ResizeSettings::read(store);
    EXPECT_EQ(d.mode, 0);
    EXPECT_EQ(d.percent, 50);
    EXPECT_EQ(d.width, 500);
    EXPECT_EQ(d.height, 500);
    EXPECT_EQ(d.keepRatio, 1);
    EXPECT_EQ(d.fitSide, 0);
    EXPECT_EQ(d.interpolation, 0);
    EXPECT_EQ(d.saveMode, 0);
    ResizeSettings s = bySize(640, 480, false, 1);
    s.percent = 75;
    s.interpolation = 2;
    s.saveMode = 1;
    ASSERT_TRUE(s.write(store, false));
    EXPECT_EQ(store.getInt("General", "Resize_CX", 0), 640);
    EXPECT_EQ(store.getInt("General", "Fix Ratio", 9), 0);
    EXPECT_EQ(store.getInt("General", "resize save mode", 7), 7); // not written
    ASSERT_TRUE(s.write(store, true));
    const ResizeSettings r = ResizeSettings::read(store);
    EXPECT_EQ(r.mode, 1);
    EXPECT_EQ(r.percent, 75);
    EXPECT_EQ(r.height, 480);
    EXPECT_EQ(r.fitSide, 1);
    EXPECT_EQ(r.interpolation, 2);
    EXPECT_EQ(r.saveMode, 1);
}

TEST(RotateRules, EachStepIsTakenBackByItsUndo) {
    using K = RotateStep::Kind;
    EXPECT_EQ(RotateRules::steps(RotateCode::Left), (std::vector<RotateStep>{{K::Turn, -9000}}));
    EXPECT_EQ(RotateRules::undoSteps(RotateCode::Left), (std::vector<RotateStep>{{K::Turn, 9000}}));
    EXPECT_EQ(RotateRules::steps(RotateCode::RightDiagonal),
              (std::vector<RotateStep>{{K::Turn, 9000}, {K::Reverse, 0}}));
    EXPECT_EQ(RotateRules::undoSteps(RotateCode::RightDiagonal),
              (std::vector<RotateStep>{{K::Reverse, 0}, {K::Turn, -9000}}));
    EXPECT_EQ(RotateRules::undoSteps(RotateCode::LeftDiagonal),
              (std::vector<RotateStep>{{K::Reverse, 0}, {K::Turn, 9000}}));
    EXPECT_TRUE(RotateRules::steps(RotateCode::None).empty());
    EXPECT_TRUE(RotateRules::steps(RotateCode::Auto).empty());
    EXPECT_TRUE(RotateRules::undoSteps(RotateCode::Auto).empty());
    EXPECT_FALSE(RotateRules::valid(9));
    EXPECT_FALSE(RotateRules::valid(-1));
    EXPECT_TRUE(RotateRules::valid(8));
}

TEST(RotateRules, AutoTurnByOrientation) {
    EXPECT_EQ(RotateRules::autoTurn(3), 18000);
    EXPECT_EQ(RotateRules::autoTurn(6), 9000);
    EXPECT_EQ(RotateRules::autoTurn(8), -9000);
    for (int o : {0, 1, 2, 4, 5, 7, 9, -1})
        EXPECT_EQ(RotateRules::autoTurn(o), 0) << o;
    EXPECT_EQ(RotateRules::codeAfterAutoTurn(3), RotateCode::HalfTurn);
    EXPECT_EQ(RotateRules::codeAfterAutoTurn(6), RotateCode::Right);
    EXPECT_EQ(RotateRules::codeAfterAutoTurn(8), RotateCode::Left);
    EXPECT_EQ(RotateRules::codeAfterAutoTurn(1), RotateCode::None);
}

TEST(RotateNavigation, OkOnlyOnTheLastFileOrWithApplyToAll) {
    for (int i = 0; i < 9; ++i) {
        const RotateNavigation n = RotateNavigation::at(i, 10, false);
        EXPECT_FALSE(n.ok) << i;
        EXPECT_TRUE(n.next);
        EXPECT_EQ(n.previous, i > 0);
    }
    const RotateNavigation last = RotateNavigation::at(9, 10, false);
    EXPECT_TRUE(last.ok && last.previous);
    EXPECT_FALSE(last.next);
    const RotateNavigation all = RotateNavigation::at(3, 10, true);
    EXPECT_TRUE(all.ok);
    EXPECT_FALSE(all.next || all.previous);
    EXPECT_TRUE(RotateNavigation::at(0, 1, false).ok);
}
