#pragma once

#include "imaging/bitmap.h"

#include <cstddef>
#include <cstring>

namespace kamelo::test {

// Two bitmaps of the same size with every pixel alike.
inline bool samePixels(const imaging::Bitmap& a, const imaging::Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.row(y), b.row(y), size_t(a.width()) * 3) != 0)
            return false;
    return true;
}

} // namespace kamelo::test
