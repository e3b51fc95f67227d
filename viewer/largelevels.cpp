#include "largelevels.h"

#include "imaging/large/largepicture.h"
#include "imaging/orientation.h"

#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kamelo::largeview {

namespace {

int64_t floorDiv(int64_t a, int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

int64_t ceilDiv(int64_t a, int64_t b) {
    return -floorDiv(-a, b);
}

} // namespace

int fittedLevel(int width, int height) {
    const int within = imaging::large::denominatorWithin(width, height, 8);
    int level = 8;
    // Sides are at most 2^31: the doubling ends within 32 steps.
    while (level < within && level < (1 << 30))
        level *= 2;
    return level;
}

int tileLevel(double factor, int fitted) {
    if (!(factor > 0) || factor * fitted <= 1.0)
        return 0;
    int level = 1;
    // The coarsest power of two whose pixel still covers no more than one
    // screen pixel: level <= 1 / factor.
    while (level * 2 < fitted && double(level * 2) * factor <= 1.0)
        level *= 2;
    return level;
}

QRect pictureArea(QSize picture, const QRect& dest, const QRect& visible) {
    const QRect seen = dest & visible;
    if (seen.isEmpty() || picture.isEmpty())
        return {};
    const int64_t w = picture.width(), h = picture.height();
    const int64_t x0 = floorDiv(int64_t(seen.left() - dest.left()) * w, dest.width());
    const int64_t y0 = floorDiv(int64_t(seen.top() - dest.top()) * h, dest.height());
    const int64_t x1 = ceilDiv(int64_t(seen.right() + 1 - dest.left()) * w, dest.width());
    const int64_t y1 = ceilDiv(int64_t(seen.bottom() + 1 - dest.top()) * h, dest.height());
    const int64_t l = std::clamp<int64_t>(x0, 0, w), t = std::clamp<int64_t>(y0, 0, h);
    const int64_t r = std::clamp<int64_t>(x1, 0, w), b = std::clamp<int64_t>(y1, 0, h);
    return QRect(int(l), int(t), int(r - l), int(b - t));
}

QRect viewRect(QSize picture, const QRect& dest, const QRect& full) {
    if (picture.isEmpty())
        return {};
    const auto x = [&](int64_t px) {
        return int(dest.left() + floorDiv(px * dest.width(), picture.width()));
    };
    const auto y = [&](int64_t py) {
        return int(dest.top() + floorDiv(py * dest.height(), picture.height()));
    };
    const int left = x(full.left()), top = y(full.top());
    return QRect(left, top, x(int64_t(full.left()) + full.width()) - left,
                 y(int64_t(full.top()) + full.height()) - top);
}

QSize gridSize(QSize picture, int level) {
    const int64_t span = int64_t(kTileSide) * std::max(1, level);
    return QSize(int(ceilDiv(picture.width(), span)), int(ceilDiv(picture.height(), span)));
}

QRect tilesOver(QSize picture, int level, const QRect& full, int margin) {
    if (full.isEmpty() || level < 1)
        return {};
    const int64_t span = int64_t(kTileSide) * level;
    const QSize grid = gridSize(picture, level);
    const int64_t c0 = std::max<int64_t>(0, full.left() / span - margin);
    const int64_t r0 = std::max<int64_t>(0, full.top() / span - margin);
    const int64_t c1 = std::min<int64_t>(
        grid.width(), ceilDiv(int64_t(full.left()) + full.width(), span) + margin);
    const int64_t r1 = std::min<int64_t>(
        grid.height(), ceilDiv(int64_t(full.top()) + full.height(), span) + margin);
    if (c1 <= c0 || r1 <= r0)
        return {};
    return QRect(int(c0), int(r0), int(c1 - c0), int(r1 - r0));
}

QRect tileSource(QSize picture, int level, int column, int row) {
    const int64_t span = int64_t(kTileSide) * std::max(1, level);
    const int64_t x = column * span, y = row * span;
    const int64_t w = std::min<int64_t>(span, picture.width() - x);
    const int64_t h = std::min<int64_t>(span, picture.height() - y);
    if (w <= 0 || h <= 0 || x < 0 || y < 0)
        return {};
    return QRect(int(x), int(y), int(w), int(h));
}

// One rule with the decoders' (imaging/orientation.h): mirror left to
// right first, then turn clockwise by quarter turns.
QRect uprightRect(QSize stored, int orientation, const QRect& part) {
    const imaging::Orientation::Steps steps = imaging::Orientation::stepsFor(orientation);
    QRect r = part;
    QSize size = stored;
    if (steps.mirror)
        r.moveLeft(size.width() - r.x() - r.width());
    for (int turn = 0; turn < steps.quarterTurns; ++turn) {
        r = QRect(size.height() - r.y() - r.height(), r.x(), r.height(), r.width());
        size.transpose();
    }
    return r;
}

QRect storedRect(QSize stored, int orientation, const QRect& part) {
    const imaging::Orientation::Steps steps = imaging::Orientation::stepsFor(orientation);
    QRect r = part;
    QSize size = steps.quarterTurns % 2 ? stored.transposed() : stored;
    for (int turn = 0; turn < steps.quarterTurns; ++turn) {
        r = QRect(r.y(), size.width() - r.x() - r.width(), r.height(), r.width());
        size.transpose();
    }
    if (steps.mirror)
        r.moveLeft(size.width() - r.x() - r.width());
    return r;
}

QImage uprightTile(const QImage& tile, int orientation) {
    const imaging::Orientation::Steps steps = imaging::Orientation::stepsFor(orientation);
    QImage out = steps.mirror ? tile.mirrored(true, false) : tile;
    if (steps.quarterTurns > 0)
        out = out.transformed(QTransform().rotate(90.0 * steps.quarterTurns));
    return out;
}

} // namespace kamelo::largeview
