#include "selectiongeometry.h"

#include <algorithm>
#include <cstdlib>

namespace kamelo {

namespace {

bool inSquare(int cx, int cy, int x, int y) {
    const int h = SelectionGeometry::kGrip / 2;
    return x >= cx - h && x < cx + h && y >= cy - h && y < cy + h;
}

} // namespace

SelectionPart SelectionGeometry::hitTest(const SelectionRect& r, int x, int y) {
    if (inSquare(r.right, r.bottom, x, y))
        return SelectionPart::BottomRight;
    if (inSquare(r.left, r.bottom, x, y))
        return SelectionPart::BottomLeft;
    if (inSquare(r.left, r.top, x, y))
        return SelectionPart::TopLeft;
    if (inSquare(r.right, r.top, x, y))
        return SelectionPart::TopRight;
    const int h = kGrip / 2;
    const bool betweenY = y >= r.top + h && y < r.bottom - h;
    const bool betweenX = x >= r.left + h && x < r.right - h;
    if (betweenY && x >= r.left - h && x < r.left + h)
        return SelectionPart::Left;
    if (betweenX && y >= r.top - h && y < r.top + h)
        return SelectionPart::Top;
    if (betweenY && x >= r.right - h && x < r.right + h)
        return SelectionPart::Right;
    if (betweenX && y >= r.bottom - h && y < r.bottom + h)
        return SelectionPart::Bottom;
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
        return SelectionPart::Inside;
    return SelectionPart::Outside;
}

SelectionRect SelectionGeometry::span(int ax, int ay, int px, int py, const ViewRect& pic,
                                      bool hold, int propX, int propY, bool swapped) {
    px = std::clamp(px, pic.x, pic.x + pic.width);
    py = std::clamp(py, pic.y, pic.y + pic.height);
    int dx = px - ax, dy = py - ay;
    if (hold && propX > 0 && propY > 0) {
        const int x = swapped ? propY : propX, y = swapped ? propX : propY;
        const int adx = std::abs(dx), ady = std::abs(dy);
        const int impliedH = adx * y / x;
        const int impliedW = ady * x / y;
        if (impliedH < ady)
            dy = dy < 0 ? -impliedH : impliedH;
        else
            dx = dx < 0 ? -impliedW : impliedW;
    }
    return {std::min(ax, ax + dx), std::min(ay, ay + dy), std::max(ax, ax + dx),
            std::max(ay, ay + dy)};
}

SelectionRect SelectionGeometry::moved(const SelectionRect& r, int dx, int dy,
                                       const ViewRect& pic) {
    const int w = r.width(), h = r.height();
    const int left = std::clamp(r.left + dx, pic.x, std::max(pic.x, pic.x + pic.width - w));
    const int top = std::clamp(r.top + dy, pic.y, std::max(pic.y, pic.y + pic.height - h));
    return {left, top, left + w, top + h};
}

SelectionRect SelectionGeometry::clipped(const SelectionRect& r, const ViewRect& pic) {
    return {std::max(r.left, pic.x), std::max(r.top, pic.y), std::min(r.right, pic.x + pic.width),
            std::min(r.bottom, pic.y + pic.height)};
}

SelectionRect SelectionGeometry::toPicture(const SelectionRect& r, const ViewRect& pic,
                                           double factor) {
    if (factor <= 0)
        return {};
    return {int((r.left - pic.x) / factor), int((r.top - pic.y) / factor),
            int((r.right - pic.x) / factor), int((r.bottom - pic.y) / factor)};
}

SelectionRect SelectionGeometry::withSize(const SelectionRect& r, const ViewRect& pic,
                                          double factor, int pw, int ph, int& w, int& h) {
    SelectionRect win = r;
    win.left = std::max(win.left, pic.x);
    win.top = std::max(win.top, pic.y);
    SelectionRect p = toPicture(win, pic, factor);
    p.right = std::min(p.left + std::max(0, w), pw);
    p.bottom = std::min(p.top + std::max(0, h), ph);
    w = p.width();
    h = p.height();
    return {pic.x + int(p.left * factor), pic.y + int(p.top * factor),
            pic.x + int(p.right * factor), pic.y + int(p.bottom * factor)};
}

} // namespace kamelo
