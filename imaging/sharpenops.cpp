#include "sharpenops.h"

#include "result.h"
#include "rowbands.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace kamelo::imaging {

namespace {

// One horizontal and one vertical running box of half-width r, edges
// repeated. Rows are split over the cores for the horizontal pass, column
// strips for the vertical one (which reads rows in order, as memory lies).
void boxBlur(Bitmap& b, Bitmap& scratch, int r) {
    if (r <= 0)
        return;
    const int w = b.width(), h = b.height();
    const int n = 2 * r + 1;
    forBands(h, [&](int first, int end) {
        std::vector<uint8_t> line(static_cast<size_t>(w) * 3);
        for (int y = first; y < end; ++y) {
            uint8_t* row = b.row(y);
            std::memcpy(line.data(), row, static_cast<size_t>(w) * 3);
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int k = -r; k <= r; ++k)
                    sum += line[std::clamp(k, 0, w - 1) * 3 + c];
                for (int x = 0; x < w; ++x) {
                    row[x * 3 + c] = static_cast<uint8_t>((sum + n / 2) / n);
                    sum +=
                        line[std::min(x + r + 1, w - 1) * 3 + c] - line[std::max(x - r, 0) * 3 + c];
                }
            }
        }
    });
    forBands(
        w,
        [&](int first, int end) {
            const int x0 = first * 3, width = (end - first) * 3;
            std::vector<int> sums(static_cast<size_t>(width));
            for (int k = -r; k <= r; ++k) {
                const uint8_t* src = b.row(std::clamp(k, 0, h - 1)) + x0;
                for (int i = 0; i < width; ++i)
                    sums[i] += src[i];
            }
            for (int y = 0; y < h; ++y) {
                uint8_t* dst = scratch.row(y) + x0;
                for (int i = 0; i < width; ++i)
                    dst[i] = static_cast<uint8_t>((sums[i] + n / 2) / n);
                const uint8_t* in = b.row(std::min(y + r + 1, h - 1)) + x0;
                const uint8_t* out = b.row(std::max(y - r, 0)) + x0;
                for (int i = 0; i < width; ++i)
                    sums[i] += in[i] - out[i];
            }
        },
        16);
    b.swap(scratch);
}

// Three boxes whose variances add up to sigma^2 approximate a Gaussian.
void gaussian(Bitmap& b, double sigma) {
    if (sigma <= 0)
        return;
    Bitmap scratch;
    if (scratch.allocate(b.width(), b.height()) != result::kSuccess)
        throw std::bad_alloc();
    // The passes swap the two pictures: both carry the same description.
    scratch.setSourceBitsPerPixel(b.sourceBitsPerPixel());
    scratch.setResolution(b.xResolution(), b.yResolution());
    scratch.setPalette(b.palette());
    const double ideal = std::sqrt(12.0 * sigma * sigma / 3.0 + 1.0);
    int wl = static_cast<int>(std::floor(ideal));
    if (wl % 2 == 0)
        --wl;
    const int wu = wl + 2;
    const double mIdeal = (12 * sigma * sigma - 3.0 * wl * wl - 12.0 * wl - 9) / (-4.0 * wl - 4);
    const int m = static_cast<int>(std::lround(mIdeal));
    for (int i = 0; i < 3; ++i) {
        const int size = i < m ? wl : wu;
        boxBlur(b, scratch, std::max(0, (size - 1) / 2));
    }
}

} // namespace

int SharpenOps::sharpen(Bitmap& bitmap, int strength) {
    return withoutThrowing([&]() -> int {
        if (!bitmap.isAllocated())
            return result::kNoBitmap;
        if (strength < 0 || strength > 1000)
            return result::kInvalidParameter;
        if (strength == 0)
            return result::kSuccess;
        const Bitmap src = bitmap;
        const int w = src.width(), h = src.height();
        const int rowBytes = w * 3;
        forBands(h, [&](int first, int end) {
            // Column sums of three rows, then three columns of them.
            std::vector<int> cols(static_cast<size_t>(rowBytes));
            for (int y = first; y < end; ++y) {
                const uint8_t* up = src.row(std::max(y - 1, 0));
                const uint8_t* mid = src.row(y);
                const uint8_t* down = src.row(std::min(y + 1, h - 1));
                for (int i = 0; i < rowBytes; ++i)
                    cols[i] = up[i] + mid[i] + down[i];
                uint8_t* d = bitmap.row(y);
                for (int x = 0; x < w; ++x) {
                    const int l = std::max(x - 1, 0) * 3, m = x * 3, r = std::min(x + 1, w - 1) * 3;
                    for (int c = 0; c < 3; ++c) {
                        const int sum = cols[l + c] + cols[m + c] + cols[r + c];
                        const int v = mid[m + c];
                        const int out = v + ((v * 9 - sum) * strength) / (9 * 250);
                        d[m + c] = static_cast<uint8_t>(std::clamp(out, 0, 255));
                    }
                }
            }
        });
        return result::kSuccess;
    });
}

int SharpenOps::gaussianBlur(Bitmap& bitmap, int radius) {
    return withoutThrowing([&]() -> int {
        if (!bitmap.isAllocated())
            return result::kNoBitmap;
        if (radius < 0 || radius > 100)
            return result::kInvalidParameter;
        gaussian(bitmap, radius);
        return result::kSuccess;
    });
}

int SharpenOps::unsharpMask(Bitmap& bitmap, int amount, int radius, int threshold) {
    return withoutThrowing([&]() -> int {
        if (!bitmap.isAllocated())
            return result::kNoBitmap;
        if (amount < 0 || amount > 1000 || radius < 0 || radius > 100 || threshold < 0 ||
            threshold > 255)
            return result::kInvalidParameter;
        if (amount == 0 || radius == 0)
            return result::kSuccess;
        Bitmap blurred = bitmap;
        gaussian(blurred, radius);
        forBands(bitmap.height(), [&](int first, int end) {
            for (int y = first; y < end; ++y) {
                uint8_t* d = bitmap.row(y);
                const uint8_t* s = blurred.row(y);
                for (int i = 0; i < bitmap.width() * 3; ++i) {
                    const int diff = d[i] - s[i];
                    if (std::abs(diff) >= threshold)
                        d[i] = static_cast<uint8_t>(std::clamp(d[i] + diff * amount / 100, 0, 255));
                }
            }
        });
        return result::kSuccess;
    });
}

} // namespace kamelo::imaging
