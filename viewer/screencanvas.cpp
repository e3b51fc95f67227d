#include "screencanvas.h"

#include "screencolour.h"

#include <QPainter>

namespace kamelo {

void ScreenCanvas::clear() {
    state_ = State();
    valid_ = QRegion();
}

void ScreenCanvas::draw(QPainter& painter, const QRect& area, const State& state, QColor background,
                        const std::function<void(QPainter&)>& render) {
    if (!state.transform)
        return;
    if (!(state == state_)) {
        state_ = state;
        valid_ = QRegion();
        if (image_.size() != state.bounds.size())
            image_ = state.bounds.isEmpty() ? QImage()
                                            : QImage(state.bounds.size(), QImage::Format_RGB32);
    }
    const QRect want = area & state.bounds;
    if (want.isEmpty())
        return;
    if (image_.isNull()) {
        // No memory for the canvas: the picture as it is rather than none.
        painter.save();
        painter.setClipRect(want, Qt::IntersectClip);
        render(painter);
        painter.restore();
        return;
    }
    const QPoint origin = state.bounds.topLeft();
    const QRegion missing = QRegion(want) - valid_;
    if (!missing.isEmpty()) {
        // One rectangle around what is missing: a smooth or best drawing
        // costs the same for any part of it, so it is drawn once.
        const QRect r = missing.boundingRect();
        {
            QPainter p(&image_);
            p.translate(-origin);
            p.setClipRect(r);
            p.fillRect(r, background);
            render(p);
        }
        screencolour::convertRect(image_, r.translated(-origin), *state.transform);
        valid_ += r;
    }
    painter.drawImage(want.topLeft(), image_, want.translated(-origin));
}

} // namespace kamelo
