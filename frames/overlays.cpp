#include "overlays.h"

#include "fontfallback.h"
#include "frames/core/anchor.h"
#include "imaging/geometryops.h"
#include "imaging/picturefile.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kamelo::frames {

namespace {

constexpr int kMinPoints = 1;
// Larger type than this is no line of text on a photo; it only costs time.
constexpr int kMaxPoints = 1000;
constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs;

// An image whose fonts are sized at 96 dots per inch.
void setTextDpi(QImage& image) {
    const int dotsPerMetre = qRound(kTextDpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
}

QFont fontOf(const DecorationRecord& r) {
    QFont font(faceForDrawing(QString::fromStdString(r.fontFace)));
    font.setPointSizeF(std::clamp(r.fontSize, kMinPoints, kMaxPoints));
    font.setBold(r.bold != 0);
    font.setItalic(r.italic != 0);
    font.setStrikeOut(r.strikeout != 0);
    font.setUnderline(r.underline != 0);
    switch (r.rendering) {
    case 1: // sub-pixel where the font engine has it
        font.setStyleStrategy(QFont::PreferAntialias);
        break;
    case 2: // one bit per pixel
        font.setStyleStrategy(QFont::NoAntialias);
        break;
    default:
        font.setStyleStrategy(
            QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
        break;
    }
    return font;
}

int clampToInt(double v) {
    return static_cast<int>(std::clamp(v, -2147483648.0, 2147483647.0));
}

} // namespace

bool drawTag(imaging::Bitmap& canvas, const DecorationRecord& r) {
    if (!canvas.isAllocated() || r.tagPath.empty())
        return false;
    imaging::Bitmap tag;
    if (imaging::PictureFile::load(r.tagPath, tag) < 1)
        return false;
    placeTag(canvas, r, tag);
    return true;
}

void placeTag(imaging::Bitmap& canvas, const DecorationRecord& r, const imaging::Bitmap& tag) {
    if (!canvas.isAllocated() || !tag.isAllocated())
        return;
    const PointI at =
        tagAnchor(r.tagPosition, canvas.width(), canvas.height(), tag.width(), tag.height());
    const int64_t x = int64_t(at.x) + r.tagOffsetX, y = int64_t(at.y) + r.tagOffsetY;
    // Wholly outside: nothing to copy (and no position that wraps round).
    if (x >= canvas.width() || y >= canvas.height() || x + tag.width() <= 0 ||
        y + tag.height() <= 0)
        return;
    imaging::GeometryOps::combine(canvas, tag, static_cast<int>(x), static_cast<int>(y),
                                  tag.width(), tag.height(), 0, 0);
}

TextLayout layOutText(const DecorationRecord& r, int cw, int ch) {
    TextLayout layout;
    layout.font = fontOf(r);
    const QString text = QString::fromStdString(r.text);
    if (text.isEmpty())
        return layout;
    QImage probe(1, 1, QImage::Format_RGB32);
    setTextDpi(probe);
    const QFontMetricsF metrics(layout.font, &probe);
    const QRectF measured = metrics.boundingRect(QRectF(0, 0, 0, 0), kTextFlags, text);
    const PointF at = textAnchor(r.textPosition, cw, ch, measured.width(), measured.height());
    layout.box =
        QRectF(at.x + r.textOffsetX, at.y + r.textOffsetY, measured.width(), measured.height());
    // Glyphs may reach past their advance (italics, bearings) and an
    // underline below the descent: the area takes them in, one pixel wider
    // for the anti-aliased edge.
    QRectF area = layout.box;
    double baseline = layout.box.top() + metrics.ascent();
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QRectF ink = metrics.tightBoundingRect(line);
        if (!ink.isEmpty())
            area |= ink.translated(layout.box.left(), baseline);
        if (layout.font.underline())
            area |=
                QRectF(layout.box.left(), baseline + metrics.underlinePos() - metrics.lineWidth(),
                       metrics.horizontalAdvance(line), 3 * metrics.lineWidth());
        baseline += metrics.lineSpacing();
    }
    layout.area = area.adjusted(-1, -1, 1, 1);
    return layout;
}

void drawText(imaging::Bitmap& canvas, const DecorationRecord& r) {
    // Alpha 0 draws an invisible text.
    if (!canvas.isAllocated() || r.text.empty() || r.textAlpha == 0)
        return;
    const TextLayout layout = layOutText(r, canvas.width(), canvas.height());
    if (layout.box.isEmpty())
        return;
    // The area rounded out to whole pixels, clipped to the canvas.
    const int x0 = std::max(0, clampToInt(std::floor(layout.area.left())));
    const int y0 = std::max(0, clampToInt(std::floor(layout.area.top())));
    const int x1 = std::min(canvas.width(), clampToInt(std::ceil(layout.area.right())));
    const int y1 = std::min(canvas.height(), clampToInt(std::ceil(layout.area.bottom())));
    if (x1 <= x0 || y1 <= y0)
        return;
    const int w = x1 - x0, h = y1 - y0;
    QImage area(w, h, QImage::Format_RGB32);
    if (area.isNull())
        return;
    setTextDpi(area);
    for (int y = 0; y < h; ++y) {
        const uint8_t* from = canvas.row(y0 + y) + size_t(x0) * 3;
        auto* to = reinterpret_cast<QRgb*>(area.scanLine(y));
        for (int x = 0; x < w; ++x, from += 3)
            to[x] = qRgb(from[2], from[1], from[0]);
    }
    {
        QPainter painter(&area);
        painter.setRenderHint(QPainter::TextAntialiasing, r.rendering != 2);
        painter.setFont(layout.font);
        // Drawn opaque, 0x00BBGGRR; the alpha is applied below, since
        // one-bit glyphs are copied without it.
        painter.setPen(QColor(int(r.textColour & 0xFF), int((r.textColour >> 8) & 0xFF),
                              int((r.textColour >> 16) & 0xFF)));
        painter.drawText(layout.box.translated(-x0, -y0), kTextFlags,
                         QString::fromStdString(r.text));
    }
    // Each channel moves from the picture toward the opaque text by alpha,
    // which is the same as drawing with a translucent brush.
    const unsigned a = r.textAlpha;
    const auto mix = [a](unsigned before, unsigned drawn) {
        return uint8_t((before * (255 - a) + drawn * a + 127) / 255);
    };
    for (int y = 0; y < h; ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(area.constScanLine(y));
        uint8_t* to = canvas.row(y0 + y) + size_t(x0) * 3;
        for (int x = 0; x < w; ++x, to += 3) {
            to[0] = mix(to[0], unsigned(qBlue(from[x])));
            to[1] = mix(to[1], unsigned(qGreen(from[x])));
            to[2] = mix(to[2], unsigned(qRed(from[x])));
        }
    }
}

} // namespace kamelo::frames
