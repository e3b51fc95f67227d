#include "colorops.h"

#include "result.h"
#include "rowbands.h"

#include <algorithm>
#include <mutex>

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
        return mapTables(bitmap, bitmap, red, green, blue);
    });
}

int ColorOps::mapTables(const Bitmap& source, Bitmap& target, const std::array<uint8_t, 256>& red,
                        const std::array<uint8_t, 256>& green,
                        const std::array<uint8_t, 256>& blue) {
    return withoutThrowing([&]() -> int {
        if (!source.isAllocated())
            return result::kNoBitmap;
        if (&source != &target &&
            (target.width() != source.width() || target.height() != source.height())) {
            const int rc = target.allocate(source.width(), source.height());
            if (rc != result::kSuccess)
                return rc;
        }
        if (&source != &target) {
            target.setSourceBitsPerPixel(source.sourceBitsPerPixel());
            target.setResolution(source.xResolution(), source.yResolution());
        }
        const int w = source.width();
        forBands(source.height(), [&](int first, int end) {
            for (int y = first; y < end; ++y) {
                const uint8_t* s = source.row(y);
                uint8_t* d = target.row(y);
                for (int x = 0; x < w; ++x, s += 3, d += 3) {
                    const uint8_t b = s[0], g = s[1], r = s[2];
                    d[0] = blue[b];
                    d[1] = green[g];
                    d[2] = red[r];
                }
            }
        });
        return result::kSuccess;
    });
}

std::array<Histogram, 4> ColorOps::histograms(const Bitmap& bitmap) {
    std::array<Histogram, 4> h{};
    std::mutex mutex;
    forBands(bitmap.height(), [&](int first, int end) {
        std::array<Histogram, 4> part{};
        for (int y = first; y < end; ++y) {
            const uint8_t* p = bitmap.row(y);
            for (int x = 0; x < bitmap.width(); ++x, p += 3) {
                const int lum =
                    static_cast<int>(0.11 * p[0] + 0.59 * p[1] + 0.3 * p[2] + 0.5) % 256;
                ++part[0][lum];
                ++part[1][p[2]];
                ++part[2][p[1]];
                ++part[3][p[0]];
            }
        }
        std::lock_guard lock(mutex);
        for (int c = 0; c < 4; ++c)
            for (int i = 0; i < 256; ++i)
                h[c][i] += part[c][i];
    });
    return h;
}

} // namespace kamelo::imaging
