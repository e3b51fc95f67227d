#include "toolicons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kamelo::edit {

namespace {

QPixmap drawn(int id) {
    QPixmap pm(24, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 60, 110), 2));
    switch (id) {
    case 1129: { // rotate: an arc with an arrow head
        p.drawArc(QRectF(4, 4, 16, 16), 30 * 16, 280 * 16);
        p.drawLine(QPointF(19, 4), QPointF(19, 10));
        p.drawLine(QPointF(19, 10), QPointF(13, 10));
        break;
    }
    case 1131: // resize: small and large frames
        p.drawRect(QRectF(3, 11, 8, 8));
        p.drawRect(QRectF(3, 3, 18, 18));
        break;
    case 1132: // crop: two crossing corners
        p.drawLine(QPointF(6, 2), QPointF(6, 18));
        p.drawLine(QPointF(6, 18), QPointF(22, 18));
        p.drawLine(QPointF(2, 6), QPointF(18, 6));
        p.drawLine(QPointF(18, 6), QPointF(18, 22));
        break;
    case 1133: { // colour: three discs
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(220, 40, 40, 200));
        p.drawEllipse(QRectF(2, 2, 13, 13));
        p.setBrush(QColor(40, 180, 40, 200));
        p.drawEllipse(QRectF(9, 2, 13, 13));
        p.setBrush(QColor(40, 60, 220, 200));
        p.drawEllipse(QRectF(5.5, 9, 13, 13));
        break;
    }
    case 1064: // sharpen: a triangle
        p.drawPolygon(QPolygonF({QPointF(12, 3), QPointF(21, 20), QPointF(3, 20)}));
        p.drawLine(QPointF(12, 8), QPointF(12, 16));
        break;
    case 1068: // frame: a double frame
        p.drawRect(QRectF(2, 2, 20, 20));
        p.drawRect(QRectF(6, 6, 12, 12));
        break;
    case 1127: // save: a disk
        p.drawRect(QRectF(3, 3, 18, 18));
        p.drawRect(QRectF(7, 3, 10, 6));
        p.drawRect(QRectF(7, 13, 10, 8));
        break;
    case 1329: { // undo: a hooked arrow
        QPainterPath path(QPointF(6, 10));
        path.cubicTo(QPointF(12, 4), QPointF(22, 8), QPointF(18, 19));
        p.drawPath(path);
        p.drawLine(QPointF(6, 10), QPointF(6, 4));
        p.drawLine(QPointF(6, 10), QPointF(12, 10));
        break;
    }
    default:
        break;
    }
    return pm;
}

const char* themeName(int id) {
    switch (id) {
    case 1129:
        return "object-rotate-right";
    case 1132:
        return "transform-crop";
    case 1127:
        return "document-save";
    case 1329:
        return "edit-undo";
    default:
        return nullptr;
    }
}

} // namespace

QIcon ToolIcons::forButton(int id) {
    if (const char* name = themeName(id); name && QIcon::hasThemeIcon(QLatin1String(name)))
        return QIcon::fromTheme(QLatin1String(name));
    return QIcon(drawn(id));
}

} // namespace kamelo::edit
