#include "framesettings.h"

#include "base/settingsstore.h"
#include "resources/stringtable.h"

#include <algorithm>

namespace kamelo::frames {

namespace {
constexpr const char* kFrameSelect = "Frame Select";
constexpr const char* kRadioSave = "Radio Save";
constexpr const char* kDrawTag = "Draw Tag";
constexpr const char* kTagPath = "Tag Image Path";
constexpr const char* kTagPosition = "Tag Position";
constexpr const char* kTagX = "Tag X Offset";
constexpr const char* kTagY = "Tag Y Offset";
constexpr const char* kDrawText = "Draw Text";
constexpr const char* kText = "Text";
constexpr const char* kFace = "Font Face";
constexpr const char* kSize = "Font Size";
constexpr const char* kBold = "Bold Style";
constexpr const char* kItalic = "Italic Style";
constexpr const char* kStrikeout = "Strikeout Style";
constexpr const char* kUnderline = "Underline Style";
constexpr const char* kColour = "Font Color";
constexpr const char* kAlpha = "Font Alpha";
constexpr const char* kTextPosition = "Text Position";
constexpr const char* kTextX = "Text X Offset";
constexpr const char* kTextY = "Text Y Offset";
constexpr const char* kRendering = "Text Rendering Hint";

int flag(int v) {
    return v != 0 ? 1 : 0;
}
int anchor(int v) {
    return v >= 0 && v <= 8 ? v : 0;
}
int offset(int v) {
    return std::clamp(v, -FrameSettings::kOffsetLimit, FrameSettings::kOffsetLimit);
}
} // namespace

DecorationRecord FrameSettings::defaults() {
    DecorationRecord r;
    r.text = std::string(res::text(res::IDS_DEFAULT_OVERLAY_TEXT));
    r.fontFace = std::string(res::text(res::IDS_FONT_GULIM));
    r.fontSize = 20;
    r.textAlpha = 255;
    return r;
}

void FrameSettings::clamp(DecorationRecord& r) {
    r.frameIndex = std::max(r.frameIndex, 0);
    r.drawTag = flag(r.drawTag);
    r.tagPosition = anchor(r.tagPosition);
    r.tagOffsetX = offset(r.tagOffsetX);
    r.tagOffsetY = offset(r.tagOffsetY);
    r.drawText = flag(r.drawText);
    r.fontSize = std::clamp(r.fontSize, 1, kMaxFontSize);
    r.bold = flag(r.bold);
    r.italic = flag(r.italic);
    r.strikeout = flag(r.strikeout);
    r.underline = flag(r.underline);
    r.textColour &= 0xFFFFFFu;
    r.textPosition = anchor(r.textPosition);
    r.textOffsetX = offset(r.textOffsetX);
    r.textOffsetY = offset(r.textOffsetY);
    // Other choices draw as the first one; the list shows it so.
    r.rendering = r.rendering >= 0 && r.rendering <= 2 ? r.rendering : 0;
}

FrameSettings FrameSettings::load(const SettingsStore& store) {
    FrameSettings s;
    const DecorationRecord d = defaults();
    DecorationRecord& r = s.record;
    const auto getInt = [&](const char* key, int def) { return store.getInt(kSection, key, def); };
    s.frameSelect = std::max(getInt(kFrameSelect, 0), 0);
    s.radioSave = getInt(kRadioSave, 0) == 1 ? 1 : 0;
    r.drawTag = getInt(kDrawTag, 0);
    r.tagPath = store.getString(kSection, kTagPath, "");
    r.tagPosition = getInt(kTagPosition, 0);
    r.tagOffsetX = getInt(kTagX, 0);
    r.tagOffsetY = getInt(kTagY, 0);
    r.drawText = getInt(kDrawText, 0);
    r.text = store.getString(kSection, kText, d.text);
    r.fontFace = store.getString(kSection, kFace, d.fontFace);
    if (r.fontFace.empty())
        r.fontFace = d.fontFace;
    r.fontSize = getInt(kSize, d.fontSize);
    r.bold = getInt(kBold, 0);
    r.italic = getInt(kItalic, 0);
    r.strikeout = getInt(kStrikeout, 0);
    r.underline = getInt(kUnderline, 0);
    r.textColour = uint32_t(getInt(kColour, 0));
    r.textAlpha = uint8_t(std::clamp(getInt(kAlpha, 255), 0, 255));
    r.textPosition = getInt(kTextPosition, 0);
    r.textOffsetX = getInt(kTextX, 0);
    r.textOffsetY = getInt(kTextY, 0);
    r.rendering = getInt(kRendering, 0);
    clamp(r);
    return s;
}

void FrameSettings::save(SettingsStore& store) const {
    const DecorationRecord& r = record;
    const auto setInt = [&](const char* key, int v) { store.setInt(kSection, key, v); };
    setInt(kFrameSelect, frameSelect);
    setInt(kRadioSave, radioSave);
    setInt(kDrawTag, r.drawTag);
    store.setString(kSection, kTagPath, r.tagPath);
    setInt(kTagPosition, r.tagPosition);
    setInt(kTagX, r.tagOffsetX);
    setInt(kTagY, r.tagOffsetY);
    setInt(kDrawText, r.drawText);
    store.setString(kSection, kText, r.text);
    store.setString(kSection, kFace, r.fontFace);
    setInt(kSize, r.fontSize);
    setInt(kBold, r.bold);
    setInt(kItalic, r.italic);
    setInt(kStrikeout, r.strikeout);
    setInt(kUnderline, r.underline);
    setInt(kColour, int(r.textColour));
    setInt(kAlpha, r.textAlpha);
    setInt(kTextPosition, r.textPosition);
    setInt(kTextX, r.textOffsetX);
    setInt(kTextY, r.textOffsetY);
    setInt(kRendering, r.rendering);
}

} // namespace kamelo::frames
