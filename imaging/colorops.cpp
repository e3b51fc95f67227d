#include "colorops.h"

#include "result.h"

#include <algorithm>

namespace kamelo::imaging {

int ColorOps::alphaBlend(Bitmap& bitmap, int x, int y, int width, int height, const Bitmap& source,
                         int sx, int sy, int opacity) {
    return withoutThrowing([&]() -> int {
        if (!bitmap.isAllocated() || !source.isAllocated())
            return result::kNoBitmap;
        if (opacity < 0 || opacity > 255 || width <= 0 || height <= 0)
            return result::kInvalidParameter;
        const unsigned a = static_cast<unsigned>(opacity), ia = 255 - a;
        for (int r = 0; r < height; ++r) {
            const int dy = y + r, syy = sy + r;
            if (dy < 0 || dy >= bitmap.height() || syy < 0 || syy >= source.height())
                continue;
            uint8_t* d = bitmap.row(dy);
            const uint8_t* s = source.row(syy);
            for (int c = 0; c < width; ++c) {
                const int dx = x + c, sxx = sx + c;
                if (dx < 0 || dx >= bitmap.width() || sxx < 0 || sxx >= source.width())
                    continue;
                for (int k = 0; k < 3; ++k) {
                    uint8_t& dv = d[dx * 3 + k];
                    dv = static_cast<uint8_t>((s[sxx * 3 + k] * a + dv * ia + 127) / 255);
                }
            }
        }
        return result::kSuccess;
    });
}

int ColorOps::grayScale(Bitmap& bitmap, int redWeight, int greenWeight, int blueWeight) {
    return withoutThrowing([&]() -> int {
        if (!bitmap.isAllocated())
            return result::kNoBitmap;
        if (redWeight < 0 || greenWeight < 0 || blueWeight < 0)
            return result::kInvalidParameter;
        for (int y = 0; y < bitmap.height(); ++y) {
            uint8_t* p = bitmap.row(y);
            for (int x = 0; x < bitmap.width(); ++x, p += 3) {
                const int v =
                    (p[2] * redWeight + p[1] * greenWeight + p[0] * blueWeight + 500) / 1000;
                p[0] = p[1] = p[2] = static_cast<uint8_t>(std::min(255, v));
            }
        }
        return result::kSuccess;
    });
}

int ColorOps::applyTables(Bitmap& bitmap, const std::array<uint8_t, 256>& red,
                          const std::array<uint8_t, 256>& green,
                          const std::array<uint8_t, 256>& blue) {
    return withoutThrowing([&]() -> int {
        if (!bitmap.isAllocated())
            return result::kNoBitmap;
        for (int y = 0; y < bitmap.height(); ++y) {
            uint8_t* p = bitmap.row(y);
            for (int x = 0; x < bitmap.width(); ++x, p += 3) {
                p[0] = blue[p[0]];
                p[1] = green[p[1]];
                p[2] = red[p[2]];
            }
        }
        return result::kSuccess;
    });
}

std::array<Histogram, 4> ColorOps::histograms(const Bitmap& bitmap) {
    std::array<Histogram, 4> h{};
    for (int y = 0; y < bitmap.height(); ++y) {
        const uint8_t* p = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x, p += 3) {
            const int lum = static_cast<int>(0.11 * p[0] + 0.59 * p[1] + 0.3 * p[2] + 0.5) % 256;
            ++h[0][lum];
            ++h[1][p[2]];
            ++h[2][p[1]];
            ++h[3][p[0]];
        }
    }
    return h;
}

} // namespace kamelo::imaging
