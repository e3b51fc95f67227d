#pragma once

#include "bitmap.h"

#include <QColor>
#include <QImage>
#include <QSize>

namespace kamelo::imaging {

// A picture laid out for the slide show: shrunk to fit the view when it is
// larger (never enlarged), centred on the background colour, as one
// Format_RGB32 image of the view's size.
class SlideFrame {
public:
    // The size a w x h picture takes inside the box: its own when it fits,
    // else the largest with its proportions (the side computed from the
    // other truncated, at least 1).
    static QSize fitInside(QSize picture, QSize box);
    // A null image when the view is empty or too large to allocate.
    static QImage compose(const Bitmap& picture, QSize view, QColor background);
    static QImage compose(const QImage& picture, QSize view, QColor background);
};

} // namespace kamelo::imaging
