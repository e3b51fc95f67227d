// The command-line program takes the stored colour choices as the program
// does.
#include "base/settingsstore.h"
#include "cli/colourstart.h"
#include "imaging/colour/displaycolour.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

using kamelo::SettingsStore;
using kamelo::imaging::colour::DisplayColour;
using kamelo::imaging::colour::Intent;

namespace {

struct StartCase {
    const char* name;
    int management; // -1: not stored
    int intent;     // -1: not stored
    bool enabled;
    Intent expected;
};

class ColourStart : public ::testing::TestWithParam<StartCase> {
protected:
    void TearDown() override { DisplayColour::reset(); }
};

TEST_P(ColourStart, StoredChoicesTakeEffect) {
    const StartCase& c = GetParam();
    kamelo::test::ScratchDir dir;
    SettingsStore store(dir.file("k.sqlite"));
    if (c.management >= 0)
        store.setInt("General", "Color Management", c.management);
    if (c.intent >= 0)
        store.setInt("General", "Rendering Intent", c.intent);
    // From the opposite of what is expected, so that nothing passes by staying.
    DisplayColour::setEnabled(!c.enabled);
    DisplayColour::setIntent(c.expected == Intent::Perceptual ? Intent::RelativeColorimetric
                                                              : Intent::Perceptual);
    kamelo::applyColourSettings(store);
    EXPECT_EQ(DisplayColour::enabled(), c.enabled);
    EXPECT_EQ(DisplayColour::intent(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Stored, ColourStart,
    // Odd stored values are read by the settings' own rules, tested with them.
    ::testing::Values(StartCase{"Defaults", -1, -1, true, Intent::Perceptual},
                      StartCase{"Off", 0, -1, false, Intent::Perceptual},
                      StartCase{"RelativeColorimetric", 1, 1, true, Intent::RelativeColorimetric}),
    [](const ::testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

} // namespace
