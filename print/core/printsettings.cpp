#include "printsettings.h"

#include "base/settingsstore.h"
#include "printlayout.h"
#include "resources/stringtable.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace kamelo {

namespace {

const char* const kRadioSheet = "Radio Sheet";
const char* const kLeftMargin = "Left Margin";
const char* const kRightMargin = "Right Margin";
const char* const kTopMargin = "Top Margin";
const char* const kBottomMargin = "Bottom Margin";
const char* const kUserWidth = "User Width";
const char* const kUserHeight = "User Height";
const char* const kColumnCount = "Column Count";
const char* const kRowCount = "Row Count";
const char* const kHorzSpace = "Horz Space";
const char* const kVertSpace = "Vert Space";
const char* const kThumbnailFrame = "Thumbnail Frame";
const char* const kThumbnailFrameColor = "Thumbnail Frame Color";
const char* const kHorzFrameMargin = "Horz Frame Margin";
const char* const kVertFrameMargin = "Vert Frame Margin";
const char* const kFrameEdge = "Frame Edge";
const char* const kCaption = "Caption";
const char* const kHeader = "Header";
const char* const kFooter = "Footer";
const char* const kDrawCaption = "Draw Caption";
const char* const kDrawHeader = "Draw Header";
const char* const kDrawFooter = "Draw Footer";
const char* const kFontHeight = "Font Height";
const char* const kFaceName = "Face Name";
const char* const kBold = "Bold";
const char* const kItalic = "Italic";
const char* const kUnderline = "Underline";
const char* const kStrikeout = "Strikeout";
const char* const kFontColor = "Font Color";
const char* const kCharacterSet = "Character Set";
const char* const kPitchAndFamily = "Pitch and Family";

// 1 point to 100 points.
constexpr int kMinFontHeight = 20;
constexpr int kMaxFontHeight = 2000;
// Larger than any paper a printer takes.
constexpr int kMaxUserSizeMm = 2000;

int flag(int v) {
    return v != 0 ? 1 : 0;
}

} // namespace

void PrintSettings::load(const SettingsStore& store, std::vector<std::string>* clamped) {
    const PrintSettings d;
    auto get = [&](const char* name, int def) { return store.getInt(kSection, name, def); };
    // The value as used; a stored one that had to change is told.
    auto used = [&](const char* name, int stored, int value) {
        if (clamped && value != stored)
            clamped->push_back(std::string(name) + " " + std::to_string(stored) + " → " +
                               std::to_string(value));
        return value;
    };
    auto ranged = [&](const char* name, int def, int lo, int hi) {
        const int v = get(name, def);
        return used(name, v, std::clamp(v, lo, hi));
    };
    auto flagOf = [&](const char* name, int def) {
        const int v = get(name, def);
        return used(name, v, flag(v));
    };
    const int sheet = get(kRadioSheet, d.radioSheet);
    radioSheet = used(kRadioSheet, sheet, sheet == 1 ? 1 : 0);
    leftMargin = ranged(kLeftMargin, d.leftMargin, 0, kMaxMarginMm);
    rightMargin = ranged(kRightMargin, d.rightMargin, 0, kMaxMarginMm);
    topMargin = ranged(kTopMargin, d.topMargin, 0, kMaxMarginMm);
    bottomMargin = ranged(kBottomMargin, d.bottomMargin, 0, kMaxMarginMm);
    userWidth = ranged(kUserWidth, 0, 0, kMaxUserSizeMm);
    userHeight = ranged(kUserHeight, 0, 0, kMaxUserSizeMm);
    columnCount = ranged(kColumnCount, d.columnCount, 1, INT32_MAX);
    rowCount = ranged(kRowCount, d.rowCount, 1, INT32_MAX);
    horzSpace = ranged(kHorzSpace, d.horzSpace, 0, INT32_MAX);
    vertSpace = ranged(kVertSpace, d.vertSpace, 0, INT32_MAX);
    thumbnailFrame = flagOf(kThumbnailFrame, d.thumbnailFrame);
    thumbnailFrameColor =
        static_cast<uint32_t>(get(kThumbnailFrameColor, int(d.thumbnailFrameColor))) & 0xFFFFFF;
    horzFrameMargin = ranged(kHorzFrameMargin, d.horzFrameMargin, 0, INT32_MAX);
    vertFrameMargin = ranged(kVertFrameMargin, d.vertFrameMargin, 0, INT32_MAX);
    frameEdge = flagOf(kFrameEdge, d.frameEdge);
    caption = store.getString(kSection, kCaption, "");
    header = store.getString(kSection, kHeader, "");
    footer = store.getString(kSection, kFooter, "");
    drawCaption = flagOf(kDrawCaption, 0);
    drawHeader = flagOf(kDrawHeader, 0);
    drawFooter = flagOf(kDrawFooter, 0);
    // A negative height is the character height without leading: its size.
    const int height = get(kFontHeight, d.fontHeight);
    const int twips = height == INT32_MIN ? INT32_MAX : std::abs(height);
    fontHeight = used(kFontHeight, twips, std::clamp(twips, kMinFontHeight, kMaxFontHeight));
    faceName = store.getString(kSection, kFaceName, std::string(res::text(res::IDS_FONT_GULIM)));
    bold = flagOf(kBold, 0);
    italic = flagOf(kItalic, 0);
    underline = flagOf(kUnderline, 0);
    strikeout = flagOf(kStrikeout, 0);
    fontColor = static_cast<uint32_t>(get(kFontColor, 0)) & 0xFFFFFF;
    charSet = get(kCharacterSet, d.charSet);
    pitchAndFamily = get(kPitchAndFamily, d.pitchAndFamily);
    size = PrintSize::FitPage;
}

bool PrintSettings::save(SettingsStore& store) const {
    SettingsStore::Batch batch(store);
    bool ok = true;
    auto put = [&](const char* name, int v) { ok = store.setInt(kSection, name, v) && ok; };
    auto putText = [&](const char* name, const std::string& v) {
        ok = store.setString(kSection, name, v) && ok;
    };
    put(kRadioSheet, radioSheet);
    put(kLeftMargin, leftMargin);
    put(kRightMargin, rightMargin);
    put(kTopMargin, topMargin);
    put(kBottomMargin, bottomMargin);
    put(kUserWidth, static_cast<int>(std::lround(userWidth)));
    put(kUserHeight, static_cast<int>(std::lround(userHeight)));
    put(kColumnCount, columnCount);
    put(kRowCount, rowCount);
    put(kHorzSpace, horzSpace);
    put(kVertSpace, vertSpace);
    put(kThumbnailFrame, thumbnailFrame);
    put(kThumbnailFrameColor, static_cast<int>(thumbnailFrameColor));
    put(kHorzFrameMargin, horzFrameMargin);
    put(kVertFrameMargin, vertFrameMargin);
    put(kFrameEdge, frameEdge);
    putText(kCaption, caption);
    putText(kHeader, header);
    putText(kFooter, footer);
    put(kDrawCaption, drawCaption);
    put(kDrawHeader, drawHeader);
    put(kDrawFooter, drawFooter);
    put(kFontHeight, fontHeight);
    putText(kFaceName, faceName);
    put(kBold, bold);
    put(kItalic, italic);
    put(kUnderline, underline);
    put(kStrikeout, strikeout);
    put(kFontColor, static_cast<int>(fontColor));
    put(kCharacterSet, charSet);
    put(kPitchAndFamily, pitchAndFamily);
    return batch.commit() && ok;
}

void PrintSettings::clampToPage(const PageGeometry& page) {
    if (!page.valid())
        return;
    PrintLayout probe(*this, page);
    columnCount = std::clamp(columnCount, 1, probe.maxColumns());
    rowCount = std::clamp(rowCount, 1, probe.maxRows());
    probe = PrintLayout(*this, page);
    horzSpace = std::clamp(horzSpace, 0, probe.maxHorzSpace());
    vertSpace = std::clamp(vertSpace, 0, probe.maxVertSpace());
    probe = PrintLayout(*this, page);
    horzFrameMargin = std::clamp(horzFrameMargin, 0, static_cast<int>(probe.maxHorzFrameMargin()));
    vertFrameMargin = std::clamp(vertFrameMargin, 0, static_cast<int>(probe.maxVertFrameMargin()));
}

} // namespace kamelo
