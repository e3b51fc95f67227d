#include "rotateicons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTransform>

namespace kamelo::edit {

namespace {
constexpr int kSize = 20;

// The letter F drawn with strokes (no font needed) inside a page.
void drawPage(QPainter& p, const QColor& letter) {
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(QColor(250, 250, 245));
    p.drawRect(QRectF(2.5, 2.5, kSize - 5, kSize - 5));
    p.setPen(QPen(letter, 2.2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(7, 5), QPointF(7, 15));
    p.drawLine(QPointF(6, 6), QPointF(14, 6));
    p.drawLine(QPointF(6, 10), QPointF(12, 10));
}

QIcon pageIcon(const QTransform& t, const QColor& letter, bool autoMark) {
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // Turned and mirrored about the centre of the page.
    QTransform about;
    about.translate(kSize / 2.0, kSize / 2.0);
    p.setTransform(t * about);
    p.translate(-kSize / 2.0, -kSize / 2.0);
    drawPage(p, letter);
    p.resetTransform();
    if (autoMark) {
        // A small circular arrow: turned by itself.
        p.setPen(QPen(QColor(30, 110, 200), 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(11, 11, 8, 8), 30 * 16, 270 * 16);
        QPainterPath head;
        head.moveTo(18.5, 12.0);
        head.lineTo(19.5, 15.5);
        head.lineTo(16.2, 14.5);
        head.closeSubpath();
        p.fillPath(head, QColor(30, 110, 200));
    }
    return QIcon(pm);
}
} // namespace

QIcon RotateIcons::forCode(RotateCode code) {
    QTransform t;
    const QColor letter(200, 40, 40);
    for (const RotateStep& s : RotateRules::steps(code)) {
        QTransform step;
        switch (s.kind) {
        case RotateStep::Kind::Turn:
            step.rotate(s.angle / 100.0);
            break;
        case RotateStep::Kind::Reverse:
            step.scale(-1, 1);
            break;
        case RotateStep::Kind::Flip:
            step.scale(1, -1);
            break;
        }
        t = t * step;
    }
    return pageIcon(t, letter, code == RotateCode::Auto);
}

QIcon RotateIcons::original() {
    return pageIcon(QTransform(), QColor(40, 40, 40), false);
}

} // namespace kamelo::edit
