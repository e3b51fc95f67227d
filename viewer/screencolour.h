#pragma once

#include "imaging/bitmap.h"
#include "imaging/colour/colourtransform.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>

#include <cstdint>

class QWidget;

namespace kamelo::screencolour {

// The index of the widget's screen in QGuiApplication::screens(), as the
// display's profiles are numbered; 0 when it is not known (offscreen).
int screenIndex(const QWidget* widget);

// Converts the rectangle of an RGB32 image in place: only the picture's
// part of a view-sized image, never the background around it.
void convertRect(QImage& image, const QRect& rect, const imaging::colour::ColourTransform& t);

// The picture laid out as a slide (imaging::SlideFrame), its part
// converted to the screen's colours when toScreen is given.
QImage slide(const imaging::Bitmap& picture, QSize view, QColor background,
             const imaging::colour::ColourTransform* toScreen);

// Pixels converted for the screen so far in this process (tests and
// benchmarks tell by it that only what is shown was converted).
uint64_t convertedPixels();

} // namespace kamelo::screencolour
