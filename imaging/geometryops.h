#pragma once

#include "bitmap.h"

namespace kamelo::imaging {

// Turning, mirroring, cutting and pasting pictures.
class GeometryOps {
public:
    // Turns by a multiple of 90 degrees given in hundredths of a degree
    // (9000, -9000, 18000, ...); positive turns right (clockwise). The canvas
    // follows: a w x h picture becomes h x w on quarter turns.
    static int rotate(Bitmap& bitmap, int hundredthsOfDegree);
    // Top row becomes the bottom row.
    static int flip(Bitmap& bitmap);
    // Left column becomes the right column.
    static int reverse(Bitmap& bitmap);
    // Keeps only the rectangle (clipped to the picture); an empty result is refused.
    static int trim(Bitmap& bitmap, const Rect& rect);
    // Copies source's rectangle (sx, sy, w, h) onto bitmap at (x, y), clipped
    // to both pictures.
    static int combine(Bitmap& bitmap, const Bitmap& source, int x, int y, int width, int height,
                       int sx, int sy);
};

} // namespace kamelo::imaging
