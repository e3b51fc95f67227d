#include "bitmappainter.h"

#include "geometryops.h"
#include "resize.h"

#include <QPainter>

namespace kamelo::imaging {

void BitmapPainter::paint(QPainter& painter, const Bitmap& bitmap, const QRect& source,
                          const QRect& destination, PaintQuality quality) {
    if (!bitmap.isAllocated() || source.isEmpty() || destination.isEmpty())
        return;
    const QImage view = bitmap.view();
    const bool shrinking =
        destination.width() < source.width() || destination.height() < source.height();
    if (quality == PaintQuality::Best && shrinking) {
        Bitmap part;
        if (part.create(source.width(), source.height()) >= 1 &&
            GeometryOps::combine(part, bitmap, 0, 0, source.width(), source.height(), source.x(),
                                 source.y()) >= 1 &&
            Resize::apply(part, destination.width(), destination.height(), Resize::kBicubic) >= 1) {
            painter.drawImage(destination.topLeft(), part.view());
            return;
        }
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, quality != PaintQuality::Fast);
    painter.drawImage(destination, view, source);
    painter.restore();
}

} // namespace kamelo::imaging
