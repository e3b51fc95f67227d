#pragma once

#include "bitmap.h"

#include <QRect>

class QPainter;

namespace kamelo::imaging {

// How a picture is drawn when it is scaled.
enum class PaintQuality {
    Fast = 0,   // nearest pixel: used while a button is held during panning
    Smooth = 1, // bilinear
    Best = 2,   // shrinking resampled first (bicubic), then drawn 1:1
};

class BitmapPainter {
public:
    // Draws the source rectangle of the bitmap into the destination rectangle.
    static void paint(QPainter& painter, const Bitmap& bitmap, const QRect& source,
                      const QRect& destination, PaintQuality quality);
};

} // namespace kamelo::imaging
