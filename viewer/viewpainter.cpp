#include "viewpainter.h"

#include "imaging/bitmappainter.h"
#include "imaging/orientation.h"
#include "resources/qtstrings.h"
#include "screencanvas.h"
#include "screencolour.h"

#include <QPainter>
#include <QTransform>

#include <algorithm>

namespace kamelo {

namespace {

// The transform that draws the stored picture, placed at the origin with
// the size `stored`, turned into dest: the painter mirrors first and turns
// second, as the picture will be.
QTransform turnInto(const QRect& dest, const imaging::Orientation::Steps& turn, QSize stored) {
    QTransform t;
    t.translate(QRectF(dest).center().x(), QRectF(dest).center().y());
    t.rotate(90.0 * turn.quarterTurns);
    if (turn.mirror)
        t.scale(-1, 1);
    t.translate(-stored.width() / 2.0, -stored.height() / 2.0);
    return t;
}

QSize storedSize(const QRect& dest, const imaging::Orientation::Steps& turn) {
    return turn.quarterTurns % 2 != 0 ? dest.size().transposed() : dest.size();
}

} // namespace

QRect ViewPainter::bandArea(const QRect& dest, int orientation, int storedHeight, int fromRow,
                            int toRow) {
    if (storedHeight <= 0 || toRow <= fromRow || dest.isEmpty())
        return {};
    const imaging::Orientation::Steps turn = imaging::Orientation::stepsFor(orientation);
    const QSize stored = storedSize(dest, turn);
    // The rows painted so far end at floor(h * rows / H), as paint() draws
    // them; consecutive bands tile dest.
    const int top = int(qint64(stored.height()) * fromRow / storedHeight);
    const int bottom = int(qint64(stored.height()) * std::min(toRow, storedHeight) / storedHeight);
    const QRect band(0, top, stored.width(), int(bottom - top));
    if (!turn.mirror && turn.quarterTurns == 0)
        return band.translated(dest.topLeft()).intersected(dest);
    return turnInto(dest, turn, stored).mapRect(QRectF(band)).toAlignedRect().intersected(dest);
}

QImage ViewPainter::screenCopy(const imaging::Bitmap& bitmap, QSize dest, int displayMode,
                               const imaging::colour::ColourTransform* toScreen) {
    if (!bitmap.isAllocated() || dest.isEmpty())
        return {};
    QImage copy(dest, QImage::Format_RGB32);
    if (copy.isNull())
        return copy;
    const imaging::PaintQuality quality = displayMode == 2   ? imaging::PaintQuality::Best
                                          : displayMode == 1 ? imaging::PaintQuality::Smooth
                                                             : imaging::PaintQuality::Fast;
    {
        QPainter p(&copy);
        imaging::BitmapPainter::paint(p, bitmap, QRect(0, 0, bitmap.width(), bitmap.height()),
                                      QRect(QPoint(0, 0), dest), quality);
    }
    if (toScreen)
        screencolour::convertRect(copy, copy.rect(), *toScreen);
    return copy;
}

namespace {
imaging::PaintQuality qualityOf(const ViewPainter::Scene& s) {
    if (s.dragging || s.decoding)
        return imaging::PaintQuality::Fast;
    return s.displayMode == 2   ? imaging::PaintQuality::Best
           : s.displayMode == 1 ? imaging::PaintQuality::Smooth
                                : imaging::PaintQuality::Fast;
}
} // namespace

void ViewPainter::drawPicture(QPainter& p, const Scene& s) {
    const imaging::Bitmap* b = s.bitmap;
    const QRect& dest = s.dest;
    const imaging::PaintQuality quality = qualityOf(s);
    if (!s.decoding) {
        imaging::BitmapPainter::paint(p, *b, QRect(0, 0, b->width(), b->height()), dest, quality);
        return;
    }
    // Only the rows decoded so far.
    const int rows = std::min(s.decodedRows, b->height());
    if (rows <= 0)
        return;
    const imaging::Orientation::Steps turn = imaging::Orientation::stepsFor(s.orientation);
    if (!turn.mirror && turn.quarterTurns == 0) {
        const int destRows = int(qint64(dest.height()) * rows / b->height());
        imaging::BitmapPainter::paint(p, *b, QRect(0, 0, b->width(), rows),
                                      QRect(dest.x(), dest.y(), dest.width(), destRows), quality);
        return;
    }
    // The stored picture's place before the turn: dest with its sides
    // swapped on quarter turns, centred on the same point.
    const QSize stored = storedSize(dest, turn);
    const int destRows = int(qint64(stored.height()) * rows / b->height());
    p.save();
    p.setTransform(turnInto(dest, turn, stored), true);
    imaging::BitmapPainter::paint(p, *b, QRect(0, 0, b->width(), rows),
                                  QRect(0, 0, stored.width(), destRows), quality);
    p.restore();
}

void ViewPainter::paint(QPainter& p, const Scene& s) {
    p.fillRect(s.client, s.background);
    if (s.emptyList) {
        // The empty text in the inverse of the background.
        p.setPen(QColor(255 - s.background.red(), 255 - s.background.green(),
                        255 - s.background.blue()));
        QFont f;
        f.setFamilies({res::qtext(res::IDS_FONT_GULIM), QStringLiteral("NanumGothic"),
                       QStringLiteral("sans-serif")});
        f.setPixelSize(12);
        p.setFont(f);
        p.drawText(QPoint(10, 10 + p.fontMetrics().ascent()), res::qtext(res::IDS_VIEWER_EMPTY));
        return;
    }
    const imaging::Bitmap* b = s.bitmap;
    if (!b || !b->isAllocated())
        return;
    const QRect& dest = s.dest;
    if (!s.decoding && s.screen && s.screen->size() == dest.size() && !s.dragging) {
        p.drawImage(dest.topLeft(), *s.screen);
    } else if (s.colour && s.canvas) {
        // What the picture covers of the part being painted: dest, or the
        // rows decoded so far.
        const QRect covered =
            s.decoding ? bandArea(dest, s.orientation, b->height(), 0, s.decodedRows) : dest;
        const QRect area = covered & s.client & (s.exposed.isEmpty() ? s.client : s.exposed);
        const ScreenCanvas::State state{
            b->bits(),         QSize(b->width(), b->height()), dest,     dest & s.client,
            int(qualityOf(s)), s.decoding ? s.orientation : 1, s.colour, s.colourGeneration};
        s.canvas->draw(p, area, state, s.background, [&s](QPainter& cp) { drawPicture(cp, s); });
    } else {
        drawPicture(p, s);
    }
    if (s.detail)
        s.detail(p, s);
    if (s.decoding)
        return;
    if (s.selectionActive && !s.selection.empty()) {
        // Outline and centre cross as a dark line dashed with a light one:
        // one of the two stands out on any picture (an inverted line
        // vanishes on middle grey).
        const SelectionRect& r = s.selection;
        const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
        QPen dark(Qt::black, 1);
        QPen light(Qt::white, 1, Qt::CustomDashLine);
        light.setDashPattern({4, 4});
        for (const QPen& pen : {dark, light}) {
            p.setPen(pen);
            p.drawRect(r.left, r.top, r.width() - 1, r.height() - 1);
            p.drawLine(r.left + r.width() / 3, cy, r.right - r.width() / 3, cy);
            p.drawLine(cx, r.top + r.height() / 3, cx, r.bottom - r.height() / 3);
        }
    }
    if (s.showName && !s.dragging) {
        p.setPen(Qt::white);
        p.drawText(QPoint(20, 20 + p.fontMetrics().ascent()), s.name);
        p.setPen(Qt::black);
        p.drawText(QPoint(19, 19 + p.fontMetrics().ascent()), s.name);
    }
}

} // namespace kamelo
