#pragma once

#include "imaging/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace kamelo::imaging::large {

// What a scaled or regional decode is asked for: the part of the picture
// (in its full-size pixels) and the size it is to come out at, never
// larger than the part.
struct Request {
    Rect region;
    int outWidth = 0;
    int outHeight = 0;
    // Told how far the decode is (percent); false stops it (kAborted).
    std::function<bool(int percent)> watch;
};

// The most the working buffers of one decode (strips, tiles, bands, a
// progressive JPEG's coefficients) may take, beside the target bitmap.
inline constexpr size_t kWorkBudget = size_t(384) << 20;

// Whether the request fits a width x height picture.
bool fits(const Request& r, int width, int height);

// The rows [first, last) and columns of a picture's region seen at 1/scale:
// what a decoder reading a reduced level has to deliver.
struct Span {
    int first = 0;
    int last = 0;
};
// The span of [start, start + length) in a side of fullSide pixels that
// comes out as levelSide pixels, rounded outwards.
Span scaledSpan(int start, int length, int fullSide, int levelSide);

} // namespace kamelo::imaging::large
