#pragma once

#include "zoomrules.h"

namespace kamelo {

// A selection rectangle in window coordinates (right and bottom exclusive).
struct SelectionRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    bool operator==(const SelectionRect&) const = default;
};

// The parts of a selection a pointer can grab, in the order they are tested.
enum class SelectionPart {
    BottomRight,
    BottomLeft,
    TopLeft,
    TopRight,
    Left,
    Top,
    Right,
    Bottom,
    Inside,
    Outside
};

// The rubber-band arithmetic of the viewer's selection tool (the crop).
class SelectionGeometry {
public:
    static constexpr int kGrip = 10;

    // 10 x 10 squares on the corners first, then 10-pixel bands along the
    // edges, then the inside.
    static SelectionPart hitTest(const SelectionRect& r, int x, int y);

    // The rectangle from the anchor to the pointer, the pointer kept inside
    // the picture's display rectangle. With the proportion held (x:y, or
    // y:x when swapped) the rectangle shrinks to that shape inside the
    // dragged box, the anchor staying where it is.
    static SelectionRect span(int anchorX, int anchorY, int pointerX, int pointerY,
                              const ViewRect& picture, bool holdProportion, int proportionX,
                              int proportionY, bool swapped);

    // The whole rectangle moved by (dx, dy), kept inside the picture.
    static SelectionRect moved(const SelectionRect& r, int dx, int dy, const ViewRect& picture);
    static SelectionRect clipped(const SelectionRect& r, const ViewRect& picture);

    // In picture pixels: window rectangle minus the picture's origin,
    // divided by the zoom factor, truncated.
    static SelectionRect toPicture(const SelectionRect& r, const ViewRect& picture, double factor);
    // Sets the size in picture pixels (limited to the picture) and returns
    // the window rectangle; the size after limiting comes back in w / h.
    static SelectionRect withSize(const SelectionRect& r, const ViewRect& picture, double factor,
                                  int pictureWidth, int pictureHeight, int& w, int& h);
};

} // namespace kamelo
