#pragma once

namespace kamelo::frames {

// The nine places a tag or text goes on a canvas, in the order of the
// position lists: bottom, top and middle rows, each left, centre, right.
inline constexpr int kAnchorCount = 9;

struct PointI {
    int x = 0, y = 0;
};
struct PointF {
    double x = 0, y = 0;
};

// Where an object of w x h starts for an anchor on a cw x ch canvas (any
// other anchor acts as 0, bottom left). The tag works in whole pixels
// (halves truncated); the text's measured box keeps its exact halves, the
// canvas's centre still being a whole pixel.
PointI tagAnchor(int anchor, int cw, int ch, int w, int h);
PointF textAnchor(int anchor, int cw, int ch, double w, double h);

} // namespace kamelo::frames
