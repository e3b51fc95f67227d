#include "skinlayout.h"

#include <algorithm>
#include <climits>

namespace kamelo::frames {

namespace {

// A rectangle of the bitmap, in 64 bits so that no sum of INI numbers wraps.
bool inside(int64_t x, int64_t y, int64_t w, int64_t h, int64_t bw, int64_t bh) {
    return x >= 0 && y >= 0 && w > 0 && h > 0 && x + w <= bw && y + h <= bh;
}

// Pieces along an edge: one more than fit in the gap between the corners
// (at least one, even when the gap is empty).
int64_t edgeCount(int64_t length, int64_t firstCorner, int64_t secondCorner, int64_t piece) {
    const int64_t gap = std::max<int64_t>(0, length - firstCorner - secondCorner);
    return gap / piece + 1;
}

} // namespace

SkinFault checkSkin(const SkinDefinition& s, int bitmapWidth, int bitmapHeight) {
    const int64_t bw = bitmapWidth, bh = bitmapHeight;
    if (bw <= 0 || bh <= 0)
        return SkinFault::Invalid;
    if (s.marginX <= 0 || s.marginY <= 0)
        return SkinFault::Invalid;
    if (s.startX < 0 || s.startX > s.marginX || s.startY < 0 || s.startY > s.marginY)
        return SkinFault::Invalid;
    const bool pieces = inside(0, 0, s.topLeftCx, s.topLeftCy, bw, bh) &&
                        inside(s.topLeftCx, 0, s.topCx, s.topCy, bw, bh) &&
                        inside(bw - s.topRightCx, 0, s.topRightCx, s.topRightCy, bw, bh) &&
                        inside(0, s.topLeftCy, s.leftCx, s.leftCy, bw, bh) &&
                        inside(0, bh - s.bottomLeftCy, s.bottomLeftCx, s.bottomLeftCy, bw, bh) &&
                        inside(s.bottomLeftCx, bh - s.bottomCy, s.bottomCx, s.bottomCy, bw, bh) &&
                        inside(bw - s.rightCx, s.topRightCy, s.rightCx, s.rightCy, bw, bh) &&
                        inside(bw - s.bottomRightCx, bh - s.bottomRightCy, s.bottomRightCx,
                               s.bottomRightCy, bw, bh);
    if (!pieces)
        return SkinFault::Invalid;
    if (s.attachOnTop && !inside(s.specialX, s.specialY, s.specialCx, s.specialCy, bw, bh))
        return SkinFault::Invalid;
    return SkinFault::None;
}

SkinFault layOut(const SkinDefinition& s, int bitmapWidth, int bitmapHeight, int pictureWidth,
                 int pictureHeight, int64_t maxPixels, FrameLayout& layout) {
    layout = {};
    if (const SkinFault fault = checkSkin(s, bitmapWidth, bitmapHeight); fault != SkinFault::None)
        return fault;
    if (pictureWidth <= 0 || pictureHeight <= 0)
        return SkinFault::Invalid;
    const int64_t cw = int64_t(pictureWidth) + s.marginX;
    const int64_t ch = int64_t(pictureHeight) + s.marginY;
    if (cw > INT_MAX || ch > INT_MAX || cw * ch > maxPixels)
        return SkinFault::TooLarge;
    const int64_t top = edgeCount(cw, s.topLeftCx, s.topRightCx, s.topCx);
    const int64_t left = edgeCount(ch, s.topLeftCy, s.bottomLeftCy, s.leftCy);
    const int64_t bottom = edgeCount(cw, s.bottomLeftCx, s.bottomRightCx, s.bottomCx);
    const int64_t right = edgeCount(ch, s.topRightCy, s.bottomRightCy, s.rightCy);
    const int64_t total = top + left + bottom + right + 6;
    if (total > kMaxPieceCopies)
        return SkinFault::TooLarge;

    const int w = static_cast<int>(cw), h = static_cast<int>(ch);
    const int sw = bitmapWidth, sh = bitmapHeight;
    using K = PieceCopy::Kind;
    std::vector<PieceCopy>& c = layout.copies;
    c.reserve(static_cast<size_t>(total));
    const auto add = [&c](K kind, int sx, int sy, int cx, int cy, int64_t dx, int64_t dy) {
        // Pieces past the canvas's end draw nothing; their offsets stay in int.
        c.push_back({kind, sx, sy, cx, cy, static_cast<int>(std::min<int64_t>(dx, INT_MAX)),
                     static_cast<int>(std::min<int64_t>(dy, INT_MAX))});
    };
    add(K::TopLeft, 0, 0, s.topLeftCx, s.topLeftCy, 0, 0);
    for (int64_t k = 0; k < top; ++k)
        add(K::Top, s.topLeftCx, 0, s.topCx, s.topCy, s.topLeftCx + k * s.topCx, 0);
    add(K::TopRight, sw - s.topRightCx, 0, s.topRightCx, s.topRightCy, w - s.topRightCx, 0);
    for (int64_t k = 0; k < left; ++k)
        add(K::Left, 0, s.topLeftCy, s.leftCx, s.leftCy, 0, s.topLeftCy + k * s.leftCy);
    add(K::BottomLeft, 0, sh - s.bottomLeftCy, s.bottomLeftCx, s.bottomLeftCy, 0,
        h - s.bottomLeftCy);
    for (int64_t k = 0; k < bottom; ++k)
        add(K::Bottom, s.bottomLeftCx, sh - s.bottomCy, s.bottomCx, s.bottomCy,
            s.bottomLeftCx + k * s.bottomCx, h - s.bottomCy);
    for (int64_t k = 0; k < right; ++k)
        add(K::Right, sw - s.rightCx, s.topRightCy, s.rightCx, s.rightCy, w - s.rightCx,
            s.topRightCy + k * s.rightCy);
    add(K::BottomRight, sw - s.bottomRightCx, sh - s.bottomRightCy, s.bottomRightCx,
        s.bottomRightCy, w - s.bottomRightCx, h - s.bottomRightCy);
    add(K::Picture, 0, 0, pictureWidth, pictureHeight, s.startX, s.startY);
    if (s.attachOnTop)
        add(K::Special, s.specialX, s.specialY, s.specialCx, s.specialCy, w / 2 - s.specialCx / 2,
            0);
    layout.canvasWidth = w;
    layout.canvasHeight = h;
    return SkinFault::None;
}

} // namespace kamelo::frames
