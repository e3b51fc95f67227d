#include "anchor.h"

#include <cstdint>

namespace kamelo::frames {

namespace {

// Column 0 left, 1 centre, 2 right; row 0 bottom, 1 top, 2 middle.
int columnOf(int anchor) {
    return anchor >= 0 && anchor < kAnchorCount ? anchor % 3 : 0;
}
int rowOf(int anchor) {
    return anchor >= 0 && anchor < kAnchorCount ? anchor / 3 : 0;
}

} // namespace

PointI tagAnchor(int anchor, int cw, int ch, int w, int h) {
    // In 64 bits: a huge tag far outside the canvas must not wrap round.
    const auto clampInt = [](int64_t v) {
        return static_cast<int>(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
    };
    int64_t x = 0, y = 0;
    switch (columnOf(anchor)) {
    case 1:
        x = int64_t(cw / 2) - w / 2;
        break;
    case 2:
        x = int64_t(cw) - w;
        break;
    }
    switch (rowOf(anchor)) {
    case 0:
        y = int64_t(ch) - h;
        break;
    case 2:
        y = int64_t(ch / 2) - h / 2;
        break;
    }
    return {clampInt(x), clampInt(y)};
}

PointF textAnchor(int anchor, int cw, int ch, double w, double h) {
    PointF p;
    switch (columnOf(anchor)) {
    case 1:
        p.x = cw / 2 - w / 2;
        break;
    case 2:
        p.x = cw - w;
        break;
    }
    switch (rowOf(anchor)) {
    case 0:
        p.y = ch - h;
        break;
    case 2:
        p.y = ch / 2 - h / 2;
        break;
    }
    return p;
}

} // namespace kamelo::frames
