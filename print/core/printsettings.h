#pragma once

#include "pagegeometry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kamelo {

class SettingsStore;

// The picture size of whole-page mode. Only the custom size is stored; the
// choice itself starts at "fit the page" every time.
enum class PrintSize { FitPage, Size3x5, Size4x6, Size5x7, Size10x8, Custom };

// The print dialog's settings, section "Print". Lengths in whole millimetres
// (the custom size keeps decimals while the dialog is open), colours 0x00BBGGRR,
// the font height in twips.
struct PrintSettings {
    static constexpr const char* kSection = "Print";
    static constexpr int kMaxMarginMm = 200;

    int radioSheet = 0; // 0 whole page, 1 a grid of pictures per page
    int leftMargin = 10;
    int rightMargin = 10;
    int topMargin = 15;
    int bottomMargin = 15;
    double userWidth = 0;
    double userHeight = 0;
    int columnCount = 4;
    int rowCount = 5;
    int horzSpace = 6;
    int vertSpace = 6;
    int thumbnailFrame = 0;
    uint32_t thumbnailFrameColor = 0xBEBEBE;
    int horzFrameMargin = 3;
    int vertFrameMargin = 3;
    int frameEdge = 1; // 0 none, 1 a one-pixel black line
    std::string caption;
    std::string header;
    std::string footer;
    int drawCaption = 0;
    int drawHeader = 0;
    int drawFooter = 0;
    int fontHeight = 200;
    std::string faceName; // empty until loaded: the table's "굴림"
    int bold = 0;
    int italic = 0;
    int underline = 0;
    int strikeout = 0;
    uint32_t fontColor = 0;
    int charSet = 1;
    int pitchAndFamily = 0;

    // Not stored.
    PrintSize size = PrintSize::FitPage;

    bool sheet() const { return radioSheet == 1; }

    // Reads every key with its default; values no dialog could have written
    // are clamped into the ranges that do not depend on the page, and each
    // one is told in clamped as "Name stored → used".
    void load(const SettingsStore& store, std::vector<std::string>* clamped = nullptr);
    // Writes every key in one transaction.
    bool save(SettingsStore& store) const;
    // Clamps the grid, spacing and frame margins to what the page allows.
    void clampToPage(const PageGeometry& page);
};

} // namespace kamelo
