#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

using kamelo::CUiSettings;
using kamelo::SettingsStore;
using kamelo::test::ScratchDir;

namespace {

std::vector<uint8_t> floatBytes(float f) {
    uint8_t b[4];
    std::memcpy(b, &f, 4); // the test machines are little-endian, like the stored form
    return {b, b + 4};
}

} // namespace

TEST(CUiSettings, FirstRunGivesTheDocumentedDefaults) {
    ScratchDir dir;
    SettingsStore store(dir.file("k.sqlite"));
    CUiSettings s;
    s.load(store);
    EXPECT_EQ(s.thumbWidth, 120);
    EXPECT_EQ(s.thumbHeight, 100);
    EXPECT_EQ(s.thumbBorder, 10);
    EXPECT_EQ(s.itemHorzSpace, 10);
    EXPECT_EQ(s.itemVertSpace, 10);
    EXPECT_EQ(s.labelHeight, 15);
    EXPECT_EQ(s.folderViewShown, 1);
    EXPECT_EQ(s.infoViewShown, 1);
    EXPECT_FLOAT_EQ(s.horzSplitRatio, 0.25f);
    EXPECT_FLOAT_EQ(s.vertSplitRatio, 0.7f);
    EXPECT_EQ(s.infoTab, 0);
    EXPECT_EQ(s.lastFolder, "");
    EXPECT_EQ(s.viewType, 0);
    EXPECT_EQ(s.sortBy, 0);
    EXPECT_EQ(s.sortAscend, 1);
    EXPECT_EQ(s.thumbDesign, 0);
    EXPECT_EQ(s.backgroundDesign, 0);
    EXPECT_EQ(s.onlyPictures, 1);
    EXPECT_EQ(s.paintWhileLoading, 1);
    EXPECT_EQ(s.viewerBackgroundColor, 0x808080u);
    EXPECT_EQ(s.applyOrientation, 1);
}

struct RatioCase {
    const char* label;
    std::vector<uint8_t> stored;
    float expected;
};

class SplitRatio : public ::testing::TestWithParam<RatioCase> {};

TEST_P(SplitRatio, OnlyAFourByteFloatStrictlyBetweenZeroAndOneIsTaken) {
    ScratchDir dir;
    SettingsStore store(dir.file("k.sqlite"));
    store.setBinary("UI settings", "Horz Split Ratio", GetParam().stored);
    store.setBinary("ui SETTINGS", "vert split ratio", GetParam().stored);
    CUiSettings s;
    s.load(store);
    const float expected = GetParam().expected;
    EXPECT_FLOAT_EQ(s.horzSplitRatio, expected < 0 ? 0.25f : expected);
    EXPECT_FLOAT_EQ(s.vertSplitRatio, expected < 0 ? 0.7f : expected);
}

// expected -1 means "the default".
INSTANTIATE_TEST_SUITE_P(
    Stored, SplitRatio,
    ::testing::Values(RatioCase{"zero", floatBytes(0.0f), -1},
                      RatioCase{"one", floatBytes(1.0f), -1},
                      RatioCase{"negative", floatBytes(-0.5f), -1},
                      RatioCase{"above one", floatBytes(1.5f), -1},
                      RatioCase{"nan", floatBytes(std::nanf("")), -1},
                      RatioCase{"infinity", floatBytes(std::numeric_limits<float>::infinity()), -1},
                      RatioCase{"three bytes", {0x00, 0x00, 0x3f}, -1},
                      RatioCase{"eight bytes", {0, 0, 0, 0, 0, 0, 0xe0, 0x3f}, -1},
                      RatioCase{"half", floatBytes(0.5f), 0.5f},
                      RatioCase{"just above zero", floatBytes(1e-6f), 1e-6f},
                      RatioCase{"just below one", floatBytes(0.9999f), 0.9999f}),
    [](const auto& info) {
        std::string n = info.param.label;
        for (char& c : n)
            if (c == ' ')
                c = '_';
        return n;
    });

TEST(CUiSettings, ARatioStoredAsAnotherTypeGivesTheDefault) {
    ScratchDir dir;
    SettingsStore store(dir.file("k.sqlite"));
    store.setInt("UI settings", "Horz Split Ratio", 1);
    store.setString("UI settings", "Vert Split Ratio", "0.5");
    CUiSettings s;
    s.load(store);
    EXPECT_FLOAT_EQ(s.horzSplitRatio, 0.25f);
    EXPECT_FLOAT_EQ(s.vertSplitRatio, 0.7f);
}

TEST(CUiSettings, SaveWritesEveryFieldInItsSectionAndLoadReadsItBack) {
    ScratchDir dir;
    SettingsStore store(dir.file("k.sqlite"));
    CUiSettings out;
    out.thumbWidth = 160;
    out.thumbHeight = 130;
    out.thumbBorder = 4;
    out.itemHorzSpace = 3;
    out.itemVertSpace = 6;
    out.folderViewShown = 0;
    out.infoViewShown = 0;
    out.horzSplitRatio = 0.3f;
    out.vertSplitRatio = 0.55f;
    out.infoTab = 1;
    out.lastFolder = "바탕 화면\\사진\\";
    out.viewType = 1;
    out.sortBy = 3;
    out.sortAscend = 0;
    out.thumbDesign = 4;
    out.backgroundDesign = 2;
    out.onlyPictures = 0;
    out.paintWhileLoading = 0;
    out.viewerBackgroundColor = 0xFFFFFF;
    out.applyOrientation = 0;
    ASSERT_TRUE(out.save(store));

    CUiSettings in;
    in.load(store);
    EXPECT_EQ(in.thumbWidth, 160);
    EXPECT_EQ(in.thumbHeight, 130);
    EXPECT_EQ(in.thumbBorder, 4);
    EXPECT_EQ(in.itemHorzSpace, 3);
    EXPECT_EQ(in.itemVertSpace, 6);
    EXPECT_EQ(in.folderViewShown, 0);
    EXPECT_EQ(in.infoViewShown, 0);
    EXPECT_FLOAT_EQ(in.horzSplitRatio, 0.3f);
    EXPECT_FLOAT_EQ(in.vertSplitRatio, 0.55f);
    EXPECT_EQ(in.infoTab, 1);
    EXPECT_EQ(in.lastFolder, "바탕 화면\\사진\\");
    EXPECT_EQ(in.viewType, 1);
    EXPECT_EQ(in.sortBy, 3);
    EXPECT_EQ(in.sortAscend, 0);
    EXPECT_EQ(in.thumbDesign, 4);
    EXPECT_EQ(in.backgroundDesign, 2);
    EXPECT_EQ(in.onlyPictures, 0);
    EXPECT_EQ(in.paintWhileLoading, 0);
    EXPECT_EQ(in.viewerBackgroundColor, 0xFFFFFFu);
    EXPECT_EQ(in.applyOrientation, 0);

    // The stored forms other readers depend on.
    EXPECT_EQ(store.getInt("Thumb", "Thumb Width", 0), 160);
    EXPECT_EQ(store.getInt("UI settings", "Folder view show state", 1), 0);
    EXPECT_EQ(store.getBinary("UI settings", "Horz Split Ratio"), floatBytes(0.3f));
    EXPECT_EQ(*store.getBinary("UI settings", "Vert Split Ratio"),
              CUiSettings::encodeSplitRatio(0.55f));
    EXPECT_EQ(CUiSettings::encodeSplitRatio(0.25f), (std::vector<uint8_t>{0, 0, 0x80, 0x3e}));
    EXPECT_EQ(store.getString("general", "last folder", ""), "바탕 화면\\사진\\");
    EXPECT_EQ(store.getInt("General", "Viewer Background Color", 0), 0xFFFFFF);
    EXPECT_EQ(store.getInt("general", "apply orientation", 1), 0);
    // The label height is fixed and never stored.
    EXPECT_EQ(store.entries(SettingsStore::sectionKey("Thumb")).size(), 5u);
}

TEST(CUiSettings, ValuesWrittenUnderAnySpellingOfTheSectionAreRead) {
    ScratchDir dir;
    SettingsStore store(dir.file("k.sqlite"));
    store.setInt("GENERAL", "sort by", 2);
    store.setInt("General", "Info View Tab Selection", 1);
    store.setInt("thumb", "THUMB WIDTH", 90);
    CUiSettings s;
    s.load(store);
    EXPECT_EQ(s.sortBy, 2);
    EXPECT_EQ(s.infoTab, 1);
    EXPECT_EQ(s.thumbWidth, 90);
}

struct ColourCase {
    const char* label;
    int storedManagement; // -1: not stored
    int storedIntent;     // -1: not stored
    int management;
    int intent;
};

class ColourSettings : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ColourSettings, AreReadAndWrittenUnderTheirGeneralKeys) {
    const ColourCase& c = GetParam();
    ScratchDir dir;
    SettingsStore store(dir.file("k.sqlite"));
    if (c.storedManagement >= 0)
        store.setInt("general", "color management", c.storedManagement);
    if (c.storedIntent >= 0)
        store.setInt("GENERAL", "Rendering Intent", c.storedIntent);
    CUiSettings s;
    s.load(store);
    EXPECT_EQ(s.colourManagement, c.management);
    EXPECT_EQ(s.renderingIntent, c.intent);

    // Flipped and saved, then read back as written.
    s.colourManagement = s.colourManagement ? 0 : 1;
    s.renderingIntent = 1 - s.renderingIntent;
    ASSERT_TRUE(s.save(store));
    EXPECT_EQ(store.getInt("General", "Color Management", -1), s.colourManagement);
    EXPECT_EQ(store.getInt("General", "Rendering Intent", -1), s.renderingIntent);
}

INSTANTIATE_TEST_SUITE_P(
    Stored, ColourSettings,
    ::testing::Values(ColourCase{"nothing stored: on, perceptual", -1, -1, 1, 0},
                      ColourCase{"off, relative colorimetric", 0, 1, 0, 1},
                      ColourCase{"on, perceptual", 1, 0, 1, 0},
                      // Intents this program does not offer fall back to perceptual.
                      ColourCase{"absolute colorimetric", 1, 3, 1, 0},
                      ColourCase{"negative intent", 1, -5, 1, 0}),
    [](const ::testing::TestParamInfo<ColourCase>& info) {
        std::string name;
        for (const char* p = info.param.label; *p; ++p)
            if (std::isalnum(static_cast<unsigned char>(*p)))
                name += *p;
        return name;
    });
