#pragma once

#include "bitmap.h"

#include <array>
#include <cstdint>

namespace kamelo::imaging {

using Histogram = std::array<uint32_t, 256>;

// Per-pixel colour work.
class ColorOps {
public:
    // Lays source's (sx, sy) rectangle over bitmap's (x, y, w, h) with an
    // opacity of 0 (bitmap unchanged) to 255 (source exactly), clipped.
    static int alphaBlend(Bitmap& bitmap, int x, int y, int width, int height, const Bitmap& source,
                          int sx, int sy, int opacity);
    // Grey from red, green and blue weights in thousandths (333, 333, 334).
    static int grayScale(Bitmap& bitmap, int redWeight, int greenWeight, int blueWeight);
    // Passes each channel through its 256-entry table.
    static int applyTables(Bitmap& bitmap, const std::array<uint8_t, 256>& red,
                           const std::array<uint8_t, 256>& green,
                           const std::array<uint8_t, 256>& blue);
    // The same from source into target (made source's size when it is not):
    // the picture and its edited copy stay apart without a copy first.
    static int mapTables(const Bitmap& source, Bitmap& target, const std::array<uint8_t, 256>& red,
                         const std::array<uint8_t, 256>& green,
                         const std::array<uint8_t, 256>& blue);
    // Counts: [0] luminance trunc(0.11 B + 0.59 G + 0.3 R + 0.5) mod 256,
    // [1] red, [2] green, [3] blue.
    static std::array<Histogram, 4> histograms(const Bitmap& bitmap);
};

} // namespace kamelo::imaging
