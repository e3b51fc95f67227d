// The frame panel's offset limits, spin acceleration, font label and the
// "Frame Decoration" settings with their defaults and clamping.
#include "base/settingsstore.h"
#include "frames/ui/framesettings.h"
#include "frames/ui/panelrules.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

using namespace kamelo;
using namespace kamelo::frames;

namespace {
void expectRange(const OffsetRange& r, int min, int max) {
    EXPECT_EQ(r.min, min);
    EXPECT_EQ(r.max, max);
}
} // namespace

TEST(FramePanelRules, TagRangesKeepTheTagInsideForEveryAnchor) {
    // Canvas 101 x 81, tag 31 x 21: odd sizes make the integer halves show.
    const int cw = 101, ch = 81, w = 31, h = 21;
    for (int anchor = 0; anchor < 9; ++anchor) {
        const OffsetRanges r = PanelRules::tagRanges(anchor, cw, ch, w, h);
        const int col = anchor % 3;
        const int ax = col == 0 ? 0 : col == 1 ? cw / 2 - w / 2 : cw - w;
        const int row = anchor < 3 ? 2 : anchor < 6 ? 0 : 1;
        const int ay = row == 0 ? 0 : row == 1 ? ch / 2 - h / 2 : ch - h;
        SCOPED_TRACE(anchor);
        // Both ends place the tag wholly inside, one more step would not.
        EXPECT_EQ(ax + r.x.min, 0);
        EXPECT_EQ(ax + r.x.max + w, cw);
        EXPECT_EQ(ay + r.y.min, 0);
        EXPECT_EQ(ay + r.y.max + h, ch);
    }
    expectRange(PanelRules::tagRanges(0, 100, 80, 30, 20).x, 0, 70);
    expectRange(PanelRules::tagRanges(0, 100, 80, 30, 20).y, -60, 0);
    expectRange(PanelRules::tagRanges(1, 101, 80, 31, 20).x, -35, 35);
}

TEST(FramePanelRules, ALargerObjectGetsZeroNeverAnInvertedRange) {
    for (int anchor = 0; anchor < 9; ++anchor) {
        const OffsetRanges tag = PanelRules::tagRanges(anchor, 100, 80, 150, 20);
        expectRange(tag.x, 0, 0);
        EXPECT_LE(tag.y.min, tag.y.max);
        const OffsetRanges text = PanelRules::textRanges(anchor, 100, 80, 40.5, 200.25);
        expectRange(text.y, 0, 0);
        EXPECT_LE(text.x.min, text.x.max);
    }
    // Exactly as large: only 0 keeps it inside.
    expectRange(PanelRules::tagRanges(2, 100, 80, 100, 80).x, 0, 0);
    // An anchor outside the list is read as the first one.
    expectRange(PanelRules::tagRanges(12, 100, 80, 30, 20).x, 0, 70);
}

TEST(FramePanelRules, TextRangesUseExactHalvesAndRoundInwards) {
    // Top centre: anchor x = 50 - 5.25 = 44.75; offsets -44..45 put the box
    // between x = 0.75 and x = 89.75 + 10.5 = 100.25, inside 101.
    const OffsetRanges r = PanelRules::textRanges(4, 101, 50, 10.5, 12.5);
    expectRange(r.x, -44, 45);
    expectRange(r.y, 0, 37);
    // Middle right: x = 101 - 10.5 = 90.5, y = 25 - 6.25 = 18.75.
    const OffsetRanges m = PanelRules::textRanges(8, 101, 50, 10.5, 12.5);
    expectRange(m.x, -90, 0);
    expectRange(m.y, -18, 18);
    EXPECT_EQ(m.x.clamp(5), 0);
    EXPECT_EQ(m.x.clamp(-1000), -90);
}

TEST(FramePanelRules, SpinsAccelerateAfterTwoThreeAndFourSeconds) {
    EXPECT_EQ(PanelRules::accelerationStep(0), 1);
    EXPECT_EQ(PanelRules::accelerationStep(1999), 1);
    EXPECT_EQ(PanelRules::accelerationStep(2000), 10);
    EXPECT_EQ(PanelRules::accelerationStep(2999), 10);
    EXPECT_EQ(PanelRules::accelerationStep(3000), 15);
    EXPECT_EQ(PanelRules::accelerationStep(3999), 15);
    EXPECT_EQ(PanelRules::accelerationStep(4000), 40);
    EXPECT_EQ(PanelRules::accelerationStep(3600000), 40);
}

TEST(FramePanelRules, FontLabelSuffixes) {
    EXPECT_EQ(PanelRules::fontLabel("굴림", 20, false, false, false, false), "굴림, 20");
    EXPECT_EQ(PanelRules::fontLabel("굴림", 20, true, true, false, false),
              "굴림, 20, 굵은 기울임꼴");
    EXPECT_EQ(PanelRules::fontLabel("A", 9, true, false, true, true), "A, 9, 굵게, 취소선, 밑줄");
    EXPECT_EQ(PanelRules::fontLabel("A", 9, false, true, false, true), "A, 9, 기울임꼴, 밑줄");
}

TEST(FrameDecorationSettings, EveryKeyHasItsDefault) {
    test::ScratchDir dir;
    SettingsStore store(dir.file("k.sqlite"));
    const FrameSettings s = FrameSettings::load(store);
    EXPECT_EQ(s.frameSelect, 0);
    EXPECT_EQ(s.radioSave, 0);
    const DecorationRecord& r = s.record;
    EXPECT_EQ(r.drawTag, 0);
    EXPECT_EQ(r.tagPath, "");
    EXPECT_EQ(r.tagPosition, 0);
    EXPECT_EQ(r.tagOffsetX, 0);
    EXPECT_EQ(r.tagOffsetY, 0);
    EXPECT_EQ(r.drawText, 0);
    EXPECT_EQ(r.text, "Make it Cool - Kamelo");
    EXPECT_EQ(r.fontFace, "굴림");
    EXPECT_EQ(r.fontSize, 20);
    EXPECT_EQ(r.bold + r.italic + r.strikeout + r.underline, 0);
    EXPECT_EQ(r.textColour, 0u);
    EXPECT_EQ(r.textAlpha, 255);
    EXPECT_EQ(r.textPosition, 0);
    EXPECT_EQ(r.textOffsetX, 0);
    EXPECT_EQ(r.textOffsetY, 0);
    EXPECT_EQ(r.rendering, 0);
}

TEST(FrameDecorationSettings, StoredValuesOutsideTheirRangesAreClamped) {
    test::ScratchDir dir;
    SettingsStore store(dir.file("k.sqlite"));
    const char* section = "frame decoration"; // sections are case-blind
    store.setInt(section, "Frame Select", -3);
    store.setInt(section, "Radio Save", 5);
    store.setInt(section, "Draw Tag", 7);
    store.setInt(section, "Tag Position", 9);
    store.setInt(section, "Tag X Offset", 2000000000);
    store.setInt(section, "Tag Y Offset", -2000000000);
    store.setInt(section, "Font Size", 0);
    store.setInt(section, "Italic Style", -1);
    store.setInt(section, "Font Color", int(0xFF123456u));
    store.setInt(section, "Font Alpha", 300);
    store.setInt(section, "Text Position", -1);
    store.setInt(section, "Text Rendering Hint", 3);
    store.setString(section, "Font Face", "");
    FrameSettings s = FrameSettings::load(store);
    EXPECT_EQ(s.frameSelect, 0);
    EXPECT_EQ(s.radioSave, 0);
    EXPECT_EQ(s.record.drawTag, 1);
    EXPECT_EQ(s.record.tagPosition, 0);
    EXPECT_EQ(s.record.tagOffsetX, FrameSettings::kOffsetLimit);
    EXPECT_EQ(s.record.tagOffsetY, -FrameSettings::kOffsetLimit);
    EXPECT_EQ(s.record.fontSize, 1);
    EXPECT_EQ(s.record.italic, 1);
    EXPECT_EQ(s.record.textColour, 0x123456u);
    EXPECT_EQ(s.record.textAlpha, 255);
    EXPECT_EQ(s.record.textPosition, 0);
    EXPECT_EQ(s.record.rendering, 0);
    EXPECT_EQ(s.record.fontFace, "굴림");
    store.setInt(section, "Font Alpha", -5);
    store.setInt(section, "Font Size", 100000);
    s = FrameSettings::load(store);
    EXPECT_EQ(s.record.textAlpha, 0);
    EXPECT_EQ(s.record.fontSize, FrameSettings::kMaxFontSize);
}

TEST(FrameDecorationSettings, SavedValuesReadBackWhole) {
    test::ScratchDir dir;
    SettingsStore store(dir.file("k.sqlite"));
    FrameSettings s;
    s.frameSelect = 3;
    s.radioSave = 1;
    DecorationRecord& r = s.record;
    r.drawTag = 1;
    r.tagPath = "/tmp/로고 파일.png";
    r.tagPosition = 8;
    r.tagOffsetX = -12;
    r.tagOffsetY = 34;
    r.drawText = 1;
    // No length limit on text or face.
    r.text = std::string(300, 'x') + "\n두 번째 줄";
    r.fontFace = std::string(150, 'F');
    r.fontSize = 72;
    r.bold = r.italic = r.strikeout = r.underline = 1;
    r.textColour = 0x0000FF;
    r.textAlpha = 128;
    r.textPosition = 7;
    r.textOffsetX = 5;
    r.textOffsetY = -6;
    r.rendering = 2;
    s.save(store);
    const FrameSettings back = FrameSettings::load(store);
    EXPECT_EQ(back.frameSelect, 3);
    EXPECT_EQ(back.radioSave, 1);
    const DecorationRecord& b = back.record;
    EXPECT_EQ(b.tagPath, r.tagPath);
    EXPECT_EQ(b.text, r.text);
    EXPECT_EQ(b.fontFace, r.fontFace);
    EXPECT_EQ(b.tagPosition, 8);
    EXPECT_EQ(b.tagOffsetX, -12);
    EXPECT_EQ(b.tagOffsetY, 34);
    EXPECT_EQ(b.fontSize, 72);
    EXPECT_EQ(b.bold + b.italic + b.strikeout + b.underline, 4);
    EXPECT_EQ(b.textColour, 0x0000FFu);
    EXPECT_EQ(b.textAlpha, 128);
    EXPECT_EQ(b.textPosition, 7);
    EXPECT_EQ(b.textOffsetX, 5);
    EXPECT_EQ(b.textOffsetY, -6);
    EXPECT_EQ(b.rendering, 2);
}
