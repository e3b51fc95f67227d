#pragma once

#include "bitmap.h"

namespace kamelo::imaging {

// Neighbourhood filters.
class SharpenOps {
public:
    // Strength 0..1000: each pixel moves away from its 3 x 3 mean by
    // strength / 250 of the difference. 0 changes nothing; more is sharper.
    static int sharpen(Bitmap& bitmap, int strength);
    // Gaussian blur whose standard deviation is the radius, 0..100; 0 changes
    // nothing.
    static int gaussianBlur(Bitmap& bitmap, int radius);
    // Adds amount percent of (pixel - blurred pixel) where that difference is
    // at least threshold; radius is the blur's standard deviation. Amount
    // 0..1000, radius 0..100, threshold 0..255.
    static int unsharpMask(Bitmap& bitmap, int amount, int radius, int threshold);
};

} // namespace kamelo::imaging
