#include "cropproportion.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>

namespace kamelo::edit {

namespace {
constexpr std::array<std::pair<int, int>, CropProportion::kCount> kPairs{
    {{0, 0}, {1, 1}, {3, 2}, {5, 3}, {4, 3}, {5, 4}, {6, 4}, {7, 5}, {10, 8}}};
} // namespace

std::string CropProportion::fixedText(int index) {
    if (index <= 0 || index >= kCount)
        return {};
    return std::to_string(kPairs[index].first) + " X " + std::to_string(kPairs[index].second);
}

std::pair<int, int> CropProportion::ratio(int index, int pictureWidth, int pictureHeight,
                                          bool swapped) {
    std::pair<int, int> r =
        index > 0 && index < kCount ? kPairs[index] : std::pair{pictureWidth, pictureHeight};
    if (r.first <= 0 || r.second <= 0)
        r = {1, 1};
    if (index <= 0 || index >= kCount) {
        const int g = std::gcd(r.first, r.second);
        r = {r.first / g, r.second / g};
    }
    if (swapped)
        std::swap(r.first, r.second);
    return r;
}

std::pair<int, int> CropProportion::fit(int width, int height, bool widthTyped, int x, int y,
                                        int maxWidth, int maxHeight) {
    const int64_t px = std::max(1, x), py = std::max(1, y);
    const int64_t mw = std::max(0, maxWidth), mh = std::max(0, maxHeight);
    int64_t w = 0, h = 0;
    if (widthTyped) {
        w = std::clamp<int64_t>(width, 0, mw);
        h = w * py / px;
        if (h > mh) {
            h = mh;
            w = h * px / py;
        }
    } else {
        h = std::clamp<int64_t>(height, 0, mh);
        w = h * px / py;
        if (w > mw) {
            w = mw;
            h = w * py / px;
        }
    }
    return {int(w), int(h)};
}

} // namespace kamelo::edit
