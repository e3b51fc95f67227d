#include "prefs/core/prefsrules.h"

#include <gtest/gtest.h>

using kamelo::prefs::PrefsRules;

TEST(PrefsRules, InvertedPositions) {
    EXPECT_EQ(PrefsRules::heightPosition(200), 50); // top
    EXPECT_EQ(PrefsRules::heightPosition(50), 200); // bottom
    EXPECT_EQ(PrefsRules::heightFromPosition(50), 200);
    EXPECT_EQ(PrefsRules::heightFromPosition(200), 50);
    EXPECT_EQ(PrefsRules::borderPosition(50), 0);
    EXPECT_EQ(PrefsRules::borderFromPosition(50), 0);
    EXPECT_EQ(PrefsRules::borderFromPosition(0), 50);
}

TEST(PrefsRules, FieldsClampToTheSliderRange) {
    EXPECT_EQ(PrefsRules::clampField("0", 50, 200, 120), 50);
    EXPECT_EQ(PrefsRules::clampField("99999", 50, 200, 120), 200);
    EXPECT_EQ(PrefsRules::clampField("99999999999999999999", 50, 200, 120), 200);
    EXPECT_EQ(PrefsRules::clampField("", 50, 200, 120), 120);
    EXPECT_EQ(PrefsRules::clampField("", 50, 200, 7), 50);
    EXPECT_EQ(PrefsRules::clampField("1a2", 0, 50, 10), 12);
    EXPECT_EQ(PrefsRules::clampField("150", 50, 200, 120), 150);
    EXPECT_EQ(PrefsRules::clampField("51", 0, 50, 10), 50);
}

TEST(PrefsRules, ColoursAreBgr) {
    EXPECT_EQ(PrefsRules::colorRef(0x12, 0x34, 0x56), 0x563412u);
    EXPECT_EQ(PrefsRules::red(0x563412), 0x12);
    EXPECT_EQ(PrefsRules::green(0x563412), 0x34);
    EXPECT_EQ(PrefsRules::blue(0x563412), 0x56);
}
