#pragma once

#include "imaging/colour/colourtransform.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QSize>

#include <cstdint>
#include <functional>

class QPainter;

namespace kamelo {

// The visible part of a picture drawn straight from its bitmap (zoomed in,
// panned, not shrunk, bands as they arrive), converted to the screen's
// colours: only what is painted is converted, and it is kept, so that
// painting the same area again in the same state converts nothing and a
// band converts only its own rows.
class ScreenCanvas {
public:
    // Everything the converted pixels depend on. The rows decoded so far
    // are not part of it: more rows only add to what is drawn.
    struct State {
        const uint8_t* pixels = nullptr;
        QSize bitmap;
        QRect dest;
        QRect bounds; // the part of dest inside the view: the canvas
        int quality = 0;
        int orientation = 1;
        imaging::colour::TransformPtr transform;
        uint64_t generation = 0;
        bool operator==(const State&) const = default;
    };

    // Draws area (view coordinates, within what render covers) converted.
    // render draws the picture in view coordinates; it is asked only for
    // the part not converted yet.
    void draw(QPainter& painter, const QRect& area, const State& state, QColor background,
              const std::function<void(QPainter&)>& render);
    // The picture's pixels changed in place, or another picture took its
    // memory: nothing kept is valid.
    void clear();

private:
    State state_;
    qreal dpr_ = 1;
    QImage image_;
    QRegion valid_;
};

} // namespace kamelo
