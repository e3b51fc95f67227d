#include "thumbcellart.h"

#include <QApplication>
#include <QMimeDatabase>
#include <QPainter>
#include <QPalette>
#include <QStyle>

namespace kamelo {

namespace {

QImage piece(int design, const char* name) {
    return QImage(QStringLiteral(":/skin/P0%1_%2.png").arg(design).arg(QLatin1String(name)));
}

QColor buttonFace() {
    return QGuiApplication::palette().color(QPalette::Button);
}

QColor buttonShadow() {
    return QGuiApplication::palette().color(QPalette::Dark);
}

void drawPieces(QPainter& p, int d, int w, int h) {
    const QImage tile = piece(d, "TILE");
    if (!tile.isNull())
        for (int y = 7; y < h - 7; y += tile.height())
            for (int x = 7; x < w - 7; x += tile.width())
                p.drawImage(x, y, tile);
    const QImage top = piece(d, "TOP"), bottom = piece(d, "BOTTOM");
    for (int x = 7; x < w - 7; x += 7) {
        p.drawImage(x, 0, top);
        p.drawImage(x, h - 7, bottom);
    }
    const QImage left = piece(d, "LEFT"), right = piece(d, "RIGHT");
    for (int y = 7; y < h - 7; y += 7) {
        p.drawImage(0, y, left);
        p.drawImage(w - 7, y, right);
    }
    p.drawImage(0, 0, piece(d, "LEFTTOP"));
    p.drawImage(w - 7, 0, piece(d, "RIGHTTOP"));
    p.drawImage(0, h - 7, piece(d, "LEFTBOTTOM"));
    p.drawImage(w - 7, h - 7, piece(d, "RIGHTBOTTOM"));
}

QIcon styleIcon(QStyle::StandardPixmap which) {
    return QApplication::style() ? QApplication::style()->standardIcon(which) : QIcon();
}

} // namespace

QImage ThumbCellArt::cellTemplate(int design, int width, int height) {
    QImage cell(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    cell.fill(buttonFace());
    QPainter p(&cell);
    const QRect frame(0, 0, cell.width() - 1, cell.height() - 1);
    if (design == 0) {
        p.setPen(buttonShadow());
        p.drawRect(frame);
    } else if (design == 1) {
        p.fillRect(cell.rect(), Qt::white);
        p.setPen(Qt::black);
        p.drawRect(frame);
    } else if (design >= 2 && design <= 6) {
        // The pieces clip themselves at the far edges of cells that are not a
        // multiple of their size.
        p.setClipRect(cell.rect());
        drawPieces(p, design - 2, cell.width(), cell.height());
    }
    return cell;
}

QImage ThumbCellArt::iconCell(const QImage& cellTemplate, const QIcon& icon) {
    QImage cell = cellTemplate.copy();
    QPainter p(&cell);
    const QPixmap pm = icon.pixmap(32, 32);
    p.drawPixmap(QRect((cell.width() - 32) / 2, (cell.height() - 32) / 2, 32, 32), pm);
    return cell;
}

QImage ThumbCellArt::backgroundTile(int design) {
    if (design < 1 || design > 5)
        return {};
    return QImage(QStringLiteral(":/skin/bg%1.png").arg(274 + design));
}

QIcon ThumbCellArt::folderIcon() {
    return QIcon::fromTheme(QStringLiteral("folder"), styleIcon(QStyle::SP_DirIcon));
}

QIcon ThumbCellArt::parentIcon() {
    return QIcon::fromTheme(QStringLiteral("go-up"), styleIcon(QStyle::SP_FileDialogToParent));
}

QIcon ThumbCellArt::fileIcon(const QString& path) {
    static QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    return icon.isNull() ? styleIcon(QStyle::SP_FileIcon) : icon;
}

} // namespace kamelo
