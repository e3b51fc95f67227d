#include "selectiontool.h"

#include <algorithm>

namespace kamelo {

void SelectionTool::setProportion(bool hold, int x, int y, bool swapped) {
    holdProportion_ = hold && x > 0 && y > 0;
    proportionX_ = std::max(1, x);
    proportionY_ = std::max(1, y);
    swapped_ = swapped;
}

void SelectionTool::moveBy(int dx, int dy) {
    rect_ = {rect_.left + dx, rect_.top + dy, rect_.right + dx, rect_.bottom + dy};
}

void SelectionTool::press(QPoint p) {
    pressPoint_ = p;
    moved_ = false;
    grabbed_ =
        rect_.empty() ? SelectionPart::Outside : SelectionGeometry::hitTest(rect_, p.x(), p.y());
    const SelectionRect& r = rect_;
    switch (grabbed_) {
    case SelectionPart::Outside:
        rect_ = {p.x(), p.y(), p.x(), p.y()};
        anchor_ = p;
        break;
    case SelectionPart::BottomRight:
        anchor_ = QPoint(r.left, r.top);
        break;
    case SelectionPart::BottomLeft:
        anchor_ = QPoint(r.right, r.top);
        break;
    case SelectionPart::TopLeft:
        anchor_ = QPoint(r.right, r.bottom);
        break;
    case SelectionPart::TopRight:
        anchor_ = QPoint(r.left, r.bottom);
        break;
    default:
        anchor_ = p; // edges and moving work from the press point
        break;
    }
}

void SelectionTool::move(QPoint p, const ViewRect& pic) {
    moved_ = moved_ || p != pressPoint_;
    SelectionRect r = rect_;
    switch (grabbed_) {
    case SelectionPart::Outside:
    case SelectionPart::BottomRight:
    case SelectionPart::BottomLeft:
    case SelectionPart::TopLeft:
    case SelectionPart::TopRight:
        r = SelectionGeometry::span(anchor_.x(), anchor_.y(), p.x(), p.y(), pic, holdProportion_,
                                    proportionX_, proportionY_, swapped_);
        break;
    case SelectionPart::Left:
        r.left = std::clamp(p.x(), pic.x, r.right);
        break;
    case SelectionPart::Right:
        r.right = std::clamp(p.x(), r.left, pic.x + pic.width);
        break;
    case SelectionPart::Top:
        r.top = std::clamp(p.y(), pic.y, r.bottom);
        break;
    case SelectionPart::Bottom:
        r.bottom = std::clamp(p.y(), r.top, pic.y + pic.height);
        break;
    case SelectionPart::Inside:
        r = SelectionGeometry::moved(r, p.x() - anchor_.x(), p.y() - anchor_.y(), pic);
        anchor_ = p;
        break;
    }
    // An edge drag with the proportion held: the other extent follows.
    if (holdProportion_ && (grabbed_ == SelectionPart::Left || grabbed_ == SelectionPart::Right)) {
        const int x = swapped_ ? proportionY_ : proportionX_,
                  y = swapped_ ? proportionX_ : proportionY_;
        r.bottom = std::min(r.top + r.width() * y / x, pic.y + pic.height);
    } else if (holdProportion_ &&
               (grabbed_ == SelectionPart::Top || grabbed_ == SelectionPart::Bottom)) {
        const int x = swapped_ ? proportionY_ : proportionX_,
                  y = swapped_ ? proportionX_ : proportionY_;
        r.right = std::min(r.left + r.height() * x / y, pic.x + pic.width);
    }
    rect_ = r;
}

void SelectionTool::release(const ViewRect& picture) {
    if (!moved_ && grabbed_ == SelectionPart::Outside) {
        rect_ = {}; // a click outside clears the selection
    } else if (grabbed_ != SelectionPart::Inside) {
        rect_ = SelectionGeometry::clipped(rect_, picture);
    }
}

Qt::CursorShape SelectionTool::cursorAt(QPoint p) const {
    const SelectionPart part =
        rect_.empty() ? SelectionPart::Outside : SelectionGeometry::hitTest(rect_, p.x(), p.y());
    switch (part) {
    case SelectionPart::TopLeft:
    case SelectionPart::BottomRight:
        return Qt::SizeFDiagCursor;
    case SelectionPart::TopRight:
    case SelectionPart::BottomLeft:
        return Qt::SizeBDiagCursor;
    case SelectionPart::Left:
    case SelectionPart::Right:
        return Qt::SizeHorCursor;
    case SelectionPart::Top:
    case SelectionPart::Bottom:
        return Qt::SizeVerCursor;
    case SelectionPart::Inside:
        return Qt::OpenHandCursor;
    case SelectionPart::Outside:
        break;
    }
    return Qt::CrossCursor;
}

} // namespace kamelo
