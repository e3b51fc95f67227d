#include "imaging/large/tilegrid.h"

#include <algorithm>
#include <cstdint>

namespace kamelo::imaging::large {

namespace {

// Full-size pixels per tile, as 64-bit: a side times a denominator may
// pass 2^31.
int64_t span(const TileGrid& g) {
    return int64_t(std::max(1, g.tileSide)) * std::max(1, g.denominator);
}

int count(int side, const TileGrid& g) {
    return side <= 0 ? 0 : static_cast<int>((side + span(g) - 1) / span(g));
}

} // namespace

int TileGrid::columns() const {
    return count(width, *this);
}

int TileGrid::rows() const {
    return count(height, *this);
}

TileGrid::Part TileGrid::source(int column, int row) const {
    if (column < 0 || row < 0 || column >= columns() || row >= rows())
        return {};
    const int64_t s = span(*this);
    const int64_t x = column * s, y = row * s;
    return {static_cast<int>(x), static_cast<int>(y),
            static_cast<int>(std::min<int64_t>(s, width - x)),
            static_cast<int>(std::min<int64_t>(s, height - y))};
}

} // namespace kamelo::imaging::large
