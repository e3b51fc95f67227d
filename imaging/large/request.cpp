#include "imaging/large/request.h"

#include <algorithm>

namespace kamelo::imaging::large {

bool fits(const Request& r, int width, int height) {
    const Rect& g = r.region;
    return !g.empty() && g.x >= 0 && g.y >= 0 && int64_t(g.x) + g.width <= width &&
           int64_t(g.y) + g.height <= height && r.outWidth > 0 && r.outHeight > 0 &&
           r.outWidth <= g.width && r.outHeight <= g.height;
}

Span scaledSpan(int start, int length, int fullSide, int levelSide) {
    const int64_t first = int64_t(start) * levelSide / fullSide;
    const int64_t last = (int64_t(start + length) * levelSide + fullSide - 1) / fullSide;
    Span s{static_cast<int>(first), static_cast<int>(std::min<int64_t>(last, levelSide))};
    if (s.last <= s.first)
        s.last = std::min(s.first + 1, levelSide);
    return s;
}

} // namespace kamelo::imaging::large
