#pragma once

namespace kamelo {

struct FitSize {
    int width = 0;
    int height = 0;
};

// A picture of width x height fitted into a box of boxWidth x boxHeight,
// keeping its shape: full box width when the box is at least as tall for its
// width as the picture, else full box height; the other side truncated
// toward zero. May be larger than the picture. Compared exactly in integers
// (the ratios as products), so no rounding decides the side. Empty for an
// empty picture or box.
FitSize fitSize(int width, int height, int boxWidth, int boxHeight);

} // namespace kamelo
