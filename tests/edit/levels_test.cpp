#include "edit/core/cropproportion.h"
#include "edit/core/levelsadjuster.h"
#include "edit/core/sharpnessrules.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kamelo::edit;

namespace {
LevelsAdjuster::Histogram flat(int value, uint32_t count) {
    LevelsAdjuster::Histogram h{};
    h[value] = count;
    return h;
}

// A picture of one value per channel, as its histograms.
std::array<LevelsAdjuster::Histogram, 4> oneValue(int v, uint32_t n) {
    return {flat(v, n), flat(v, n), flat(v, n), flat(v, n)};
}
} // namespace

TEST(LevelsAdjuster, DefaultsAreIdentity) {
    LevelsAdjuster l;
    EXPECT_TRUE(l.isIdentity());
    for (int c = 1; c <= 3; ++c)
        for (int i = 0; i < 256; ++i)
            EXPECT_EQ(l.table(c)[i], i);
}

TEST(LevelsAdjuster, StretchesTenAndTwoFortyFive) {
    LevelsAdjuster l;
    l.setLevelSet(LevelsAdjuster::kAll, {10, 1.0, 245, 0, 255});
    for (int c = 1; c <= 3; ++c) {
        const auto t = l.table(c);
        EXPECT_EQ(t[10], 0);
        EXPECT_EQ(t[245], 255);
        EXPECT_EQ(t[0], 0);     // below black clamps
        EXPECT_EQ(t[255], 255); // above white clamps
        EXPECT_EQ(t[128], 128); // (128 - 10) / 235 * 255 = 128.04
    }
}

TEST(LevelsAdjuster, ChannelSetComesBeforeTheAllSet) {
    LevelsAdjuster l;
    l.setLevelSet(LevelsAdjuster::kRed, {0, 1.0, 255, 0, 127});
    l.setLevelSet(LevelsAdjuster::kAll, {0, 1.0, 127, 0, 255});
    EXPECT_EQ(l.table(LevelsAdjuster::kRed)[255], 255); // 127 then stretched back
    EXPECT_EQ(l.table(LevelsAdjuster::kGreen)[127], 255);
    EXPECT_EQ(l.table(LevelsAdjuster::kBlue)[64], 129);
}

TEST(LevelsAdjuster, InvertedOutputRunsDownwards) {
    LevelsAdjuster l;
    l.setLevelSet(LevelsAdjuster::kBlue, {0, 1.0, 255, 255, 0});
    EXPECT_EQ(l.table(LevelsAdjuster::kBlue)[0], 255);
    EXPECT_EQ(l.table(LevelsAdjuster::kBlue)[255], 0);
}

TEST(LevelsAdjuster, GammaBrightensTheMiddle) {
    LevelsAdjuster l;
    l.setLevelSet(LevelsAdjuster::kAll, {0, 2.0, 255, 0, 255});
    // (128/255)^(1/2) * 255 = 180.67
    EXPECT_EQ(l.table(1)[128], 181);
    EXPECT_EQ(l.table(1)[0], 0);
    EXPECT_EQ(l.table(1)[255], 255);
}

TEST(LevelsAdjuster, AutoContrastOfAFlatPictureFindsItsValueAndChangesNothing) {
    LevelsAdjuster l;
    l.setHistograms(oneValue(100, 5000));
    l.autoContrast();
    EXPECT_EQ(l.levelSet(0).black, 100);
    EXPECT_EQ(l.levelSet(0).white, 100);
    EXPECT_TRUE(l.isIdentity());
}

TEST(LevelsAdjuster, AutoContrastOfAnAllWhitePictureChangesNothing) {
    LevelsAdjuster l;
    l.setHistograms(oneValue(255, 64));
    l.autoContrast();
    EXPECT_EQ(l.levelSet(0).black, 255);
    EXPECT_EQ(l.levelSet(0).white, 255); // the top test never holds: kept
    EXPECT_TRUE(l.isIdentity());
}

TEST(LevelsAdjuster, AutoContrastOfAnAllBlackPictureChangesNothing) {
    LevelsAdjuster l;
    l.setHistograms(oneValue(0, 64));
    l.autoContrast();
    EXPECT_EQ(l.levelSet(0).white, 0);
    EXPECT_TRUE(l.isIdentity());
}

TEST(LevelsAdjuster, AutoLevelCutsHalfAPercentEachSide) {
    // 1000 pixels spread over 20..219, five per value.
    LevelsAdjuster::Histogram h{};
    for (int i = 20; i < 220; ++i)
        h[i] = 5;
    LevelsAdjuster l;
    l.setHistograms({h, h, h, h});
    l.setLevelSet(LevelsAdjuster::kAll, {3, 2.5, 250, 7, 200});
    l.autoContrast();
    // Bottom: after bin 20, c = 5 = 0.5 %: |0| < |0.005| holds at i = 20.
    EXPECT_EQ(l.levelSet(0).black, 21);
    EXPECT_EQ(l.levelSet(0).white, 218);
    EXPECT_EQ(l.levelSet(0).gamma, 1.0);
    EXPECT_EQ(l.levelSet(0).outBlack, 0);
    EXPECT_EQ(l.levelSet(0).outWhite, 255);
}

TEST(LevelsAdjuster, AutoColourLeavesTheAllSetAlone) {
    LevelsAdjuster::Histogram h{};
    for (int i = 50; i < 150; ++i)
        h[i] = 10;
    LevelsAdjuster l;
    l.setHistograms({h, h, h, h});
    l.autoColour();
    EXPECT_EQ(l.levelSet(0), LevelSet{});
    for (int s = 1; s <= 3; ++s) {
        EXPECT_GT(l.levelSet(s).black, 49);
        EXPECT_LT(l.levelSet(s).white, 150);
    }
}

TEST(LevelsAdjuster, AnEmptyPictureGivesZeroPoints) {
    LevelsAdjuster l;
    l.autoContrast();
    EXPECT_EQ(l.levelSet(0).black, 0);
    EXPECT_EQ(l.levelSet(0).white, 0);
    EXPECT_TRUE(l.isIdentity());
}

TEST(LevelsAdjuster, GammaIsHeldBetweenOneTenthAndTen) {
    EXPECT_DOUBLE_EQ(LevelsAdjuster::clampGamma(0.05), 0.1);
    EXPECT_DOUBLE_EQ(LevelsAdjuster::clampGamma(12), 10.0);
    EXPECT_DOUBLE_EQ(LevelsAdjuster::clampGamma(2.5), 2.5);
    EXPECT_DOUBLE_EQ(LevelsAdjuster::clampGamma(-1), 0.1);
    EXPECT_DOUBLE_EQ(LevelsAdjuster::clampGamma(std::nan("")), 0.1);
}

TEST(LevelsAdjuster, GammaMarkerOfOneSitsHalfway) {
    EXPECT_EQ(LevelsAdjuster::gammaMarker(1.0, 0, 255), 127);
    EXPECT_EQ(LevelsAdjuster::gammaMarker(1.0, 10, 210), 110);
    EXPECT_EQ(LevelsAdjuster::gammaMarker(0.1, 10, 210), 10);
    EXPECT_EQ(LevelsAdjuster::gammaMarker(10.0, 10, 210), 210);
}

TEST(LevelsAdjuster, MarkerAndDragReadTheSameWay) {
    EXPECT_DOUBLE_EQ(LevelsAdjuster::gammaAt(0, 0, 200), 0.1);
    EXPECT_DOUBLE_EQ(LevelsAdjuster::gammaAt(100, 0, 200), 1.0);
    EXPECT_DOUBLE_EQ(LevelsAdjuster::gammaAt(200, 0, 200), 10.0);
    for (int p = 0; p <= 200; p += 10) {
        const int back = LevelsAdjuster::gammaMarker(LevelsAdjuster::gammaAt(p, 0, 200), 0, 200);
        EXPECT_NEAR(back, p, 1) << p;
    }
}

TEST(ColourRecord, StartsWithDefaultLevelsAndRoundTrips) {
    ColourRecord r;
    EXPECT_EQ(r.mode, ColourRecord::Levels);
    LevelsAdjuster l;
    r.loadLevels(l);
    EXPECT_TRUE(l.isIdentity());
    l.setLevelSet(2, {4, 1.5, 200, 3, 250});
    r.storeLevels(l);
    LevelsAdjuster m;
    r.loadLevels(m);
    EXPECT_EQ(m.levelSet(2), (LevelSet{4, 1.5, 200, 3, 250}));
}

TEST(CropProportion, FixedPairsAndTheirTexts) {
    EXPECT_EQ(CropProportion::fixedText(1), "1 X 1");
    EXPECT_EQ(CropProportion::fixedText(8), "10 X 8");
    EXPECT_EQ(CropProportion::fixedText(0), "");
    EXPECT_EQ(CropProportion::ratio(8, 100, 100), std::make_pair(10, 8));
    EXPECT_EQ(CropProportion::ratio(8, 100, 100, true), std::make_pair(8, 10));
    EXPECT_EQ(CropProportion::ratio(6, 100, 100), std::make_pair(6, 4));
}

TEST(CropProportion, IndexZeroFollowsThePicture) {
    EXPECT_EQ(CropProportion::ratio(0, 3000, 2000), std::make_pair(3, 2));
    EXPECT_EQ(CropProportion::ratio(0, 3000, 2000, true), std::make_pair(2, 3));
    EXPECT_EQ(CropProportion::ratio(0, 0, 0), std::make_pair(1, 1));
    EXPECT_EQ(CropProportion::ratio(42, 640, 480), std::make_pair(4, 3));
}

TEST(SharpnessRules, SliderTableAndLimits) {
    const int expected[] = {0, 200, 400, 600, 800, 830, 860, 890, 920, 940, 970};
    for (int i = 0; i <= 10; ++i)
        EXPECT_EQ(SharpnessRules::sharpenStrength(i), expected[i]);
    EXPECT_EQ(SharpnessRules::sharpenStrength(11), 970);
    EXPECT_EQ(SharpnessRules::sharpenStrength(-1), 0);
    EXPECT_EQ(SharpnessRules::clampAmount(99999999999LL), 1000);
    EXPECT_EQ(SharpnessRules::clampRadius(101), 100);
    EXPECT_EQ(SharpnessRules::clampThreshold(300), 255);
    EXPECT_EQ(SharpnessRules::parseDigits("12a"), 0);
    EXPECT_EQ(SharpnessRules::parseDigits(""), 0);
    EXPECT_EQ(SharpnessRules::parseDigits("99999999999999999999999"), 1000000000);
    EXPECT_EQ(SharpnessRules::parseDigits("250"), 250);
}
