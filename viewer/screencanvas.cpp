#include "screencanvas.h"

#include "screencolour.h"

#include <QPaintDevice>
#include <QPainter>
#include <QtMath>

namespace kamelo {

void ScreenCanvas::clear() {
    state_ = State();
    valid_ = QRegion();
}

void ScreenCanvas::draw(QPainter& painter, const QRect& area, const State& state, QColor background,
                        const std::function<void(QPainter&)>& render) {
    if (!state.transform)
        return;
    // As many pixels as the device has: on a dense screen the picture is
    // as sharp as when it is drawn unconverted.
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    if (!(state == state_) || dpr != dpr_) {
        state_ = state;
        dpr_ = dpr;
        valid_ = QRegion();
        const QSize pixels(qCeil(state.bounds.width() * dpr), qCeil(state.bounds.height() * dpr));
        if (image_.size() != pixels)
            image_ = pixels.isEmpty() ? QImage() : QImage(pixels, QImage::Format_RGB32);
        image_.setDevicePixelRatio(dpr);
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
        const QRectF drawn(QPointF(r.topLeft() - origin) * dpr, QSizeF(r.size()) * dpr);
        screencolour::convertRect(image_, drawn.toAlignedRect(), *state.transform);
        valid_ += r;
    }
    painter.drawImage(QRectF(want), image_,
                      QRectF(QPointF(want.topLeft() - origin) * dpr, QSizeF(want.size()) * dpr));
}

} // namespace kamelo
