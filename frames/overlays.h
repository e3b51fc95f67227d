#pragma once

#include "frames/core/decorationrecord.h"
#include "imaging/bitmap.h"

#include <QFont>
#include <QRectF>

namespace kamelo::frames {

// The tag picture of the record, copied opaquely at its anchor plus the
// offsets, clipped to the canvas. False when the tag cannot be loaded
// (nothing is drawn then).
bool drawTag(imaging::Bitmap& canvas, const DecorationRecord& record);
// The same with the tag picture already loaded.
void placeTag(imaging::Bitmap& canvas, const DecorationRecord& record, const imaging::Bitmap& tag);

// Text measured and drawn the way the record asks for it.
struct TextLayout {
    QFont font;
    QRectF box;  // on the canvas: the anchor plus offsets, the measured size
    QRectF area; // what drawing may touch: the box and any ink or line past it
};

// Points become pixels at 96 per inch, whatever the screen or picture.
inline constexpr int kTextDpi = 96;

// The font and box of the record's text on a cw x ch canvas; the box is
// empty when there is no text.
TextLayout layOutText(const DecorationRecord& record, int cw, int ch);

// Draws the record's text once; only the pixels of its area (rounded out
// to whole pixels and clipped to the canvas) are touched.
void drawText(imaging::Bitmap& canvas, const DecorationRecord& record);

} // namespace kamelo::frames
