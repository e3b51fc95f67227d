#pragma once

#include "bitmap.h"

namespace kamelo::imaging {

// Changing a picture's pixel size.
class Resize {
public:
    static constexpr int kNearest = 0;
    // Area averaging when shrinking, bilinear when enlarging.
    static constexpr int kResample = 2;
    // Catmull-Rom cubic, widened when shrinking so every source pixel counts.
    static constexpr int kBicubic = 4;

    // Replaces the bitmap by a width x height copy. A size of zero or less is
    // refused (kInvalidParameter) and leaves the bitmap unchanged.
    static int apply(Bitmap& bitmap, int width, int height, int flags);
    static int scaled(const Bitmap& source, int width, int height, int flags, Bitmap& out);
};

} // namespace kamelo::imaging
