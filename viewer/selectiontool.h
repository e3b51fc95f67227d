#pragma once

#include "viewer/core/selectiongeometry.h"

#include <QPoint>
#include <Qt>

namespace kamelo {

// The viewer's selection tool (the crop uses it): a rectangle in window
// coordinates drawn, resized from a grip or moved with the mouse, limited
// to the picture and, when asked, held to a proportion.
class SelectionTool {
public:
    bool active() const { return active_; }
    // Switching on or off clears the rectangle.
    void setActive(bool active) {
        active_ = active;
        rect_ = {};
    }
    // A new picture: the tool is off and nothing selected.
    void reset() { setActive(false); }
    const SelectionRect& rect() const { return rect_; }
    void setRect(const SelectionRect& r) { rect_ = r; }
    void setProportion(bool hold, int x, int y, bool swapped);
    // Arrow keys: one pixel, no limit.
    void moveBy(int dx, int dy);

    void press(QPoint p);
    void move(QPoint p, const ViewRect& picture);
    void release(const ViewRect& picture);
    // The pointer's shape over p.
    Qt::CursorShape cursorAt(QPoint p) const;

private:
    bool active_ = false;
    SelectionRect rect_;
    SelectionPart grabbed_ = SelectionPart::Outside;
    QPoint anchor_;
    QPoint pressPoint_;
    bool moved_ = false;
    bool holdProportion_ = false;
    int proportionX_ = 1;
    int proportionY_ = 1;
    bool swapped_ = false;
};

} // namespace kamelo
