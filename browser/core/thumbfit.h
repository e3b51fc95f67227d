#pragma once

#include "thumbdata.h"

#include <cstdint>
#include <string>

namespace kamelo {

// Where a picture goes inside a thumbnail cell of width x height: scaled
// (up or down) into the box inside the border and above the label, centred.
struct ThumbPlacement {
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
    bool valid() const { return width > 0 && height > 0; }
    CellRect rect() const { return {x, y, x + width, y + height}; }
};

class ThumbFit {
public:
    static constexpr int kLabelHeight = 15;

    // Invalid when the picture or the box is empty.
    static ThumbPlacement place(int pictureWidth, int pictureHeight, int cellWidth, int cellHeight,
                                int border);
    // A picture in an area of boxWidth x boxHeight: larger ones fitted by
    // the same rule (full width or full height, the other side truncated),
    // smaller ones at their own size; centred (offsets never negative).
    static ThumbPlacement fitInside(int pictureWidth, int pictureHeight, int boxWidth,
                                    int boxHeight);
    // The centred 32 x 32 square of an icon in a cell.
    static CellRect iconRect(int cellWidth, int cellHeight);

    // A capture date-time text "YYYY:MM:DD HH:MM:SS" (exactly 19 characters)
    // as local time in seconds since 1970; false when it is not a valid time.
    static bool captureTime(const std::string& text, int32_t& seconds);
};

} // namespace kamelo
