#include "sharpenops.h"

#include "result.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace kamelo::imaging {

namespace {

// One horizontal and one vertical running box of half-width r, edges repeated.
void boxBlur(Bitmap& b, int r) {
    if (r <= 0)
        return;
    const int w = b.width(), h = b.height();
    const int n = 2 * r + 1;
    std::vector<uint8_t> line(static_cast<size_t>(std::max(w, h)) * 3);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = b.row(y);
        std::memcpy(line.data(), row, static_cast<size_t>(w) * 3);
        for (int c = 0; c < 3; ++c) {
            int sum = 0;
            for (int k = -r; k <= r; ++k)
                sum += line[std::clamp(k, 0, w - 1) * 3 + c];
            for (int x = 0; x < w; ++x) {
                row[x * 3 + c] = static_cast<uint8_t>((sum + n / 2) / n);
                sum += line[std::min(x + r + 1, w - 1) * 3 + c] - line[std::max(x - r, 0) * 3 + c];
            }
        }
    }
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y)
            std::memcpy(line.data() + y * 3, b.row(y) + x * 3, 3);
        for (int c = 0; c < 3; ++c) {
            int sum = 0;
            for (int k = -r; k <= r; ++k)
                sum += line[std::clamp(k, 0, h - 1) * 3 + c];
            for (int y = 0; y < h; ++y) {
                b.row(y)[x * 3 + c] = static_cast<uint8_t>((sum + n / 2) / n);
                sum += line[std::min(y + r + 1, h - 1) * 3 + c] - line[std::max(y - r, 0) * 3 + c];
            }
        }
    }
}

// Three boxes whose variances add up to sigma^2 approximate a Gaussian.
void gaussian(Bitmap& b, double sigma) {
    if (sigma <= 0)
        return;
    const double ideal = std::sqrt(12.0 * sigma * sigma / 3.0 + 1.0);
    int wl = static_cast<int>(std::floor(ideal));
    if (wl % 2 == 0)
        --wl;
    const int wu = wl + 2;
    const double mIdeal = (12 * sigma * sigma - 3.0 * wl * wl - 12.0 * wl - 9) / (-4.0 * wl - 4);
    const int m = static_cast<int>(std::lround(mIdeal));
    for (int i = 0; i < 3; ++i) {
        const int size = i < m ? wl : wu;
        boxBlur(b, std::max(0, (size - 1) / 2));
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
        for (int y = 0; y < h; ++y) {
            uint8_t* d = bitmap.row(y);
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) {
                    int sum = 0;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx)
                            sum += src.row(
                                std::clamp(y + dy, 0, h - 1))[std::clamp(x + dx, 0, w - 1) * 3 + c];
                    const int v = src.row(y)[x * 3 + c];
                    const int out = v + ((v * 9 - sum) * strength) / (9 * 250);
                    d[x * 3 + c] = static_cast<uint8_t>(std::clamp(out, 0, 255));
                }
        }
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
        if (amount < 0 || radius < 0 || radius > 100 || threshold < 0 || threshold > 255)
            return result::kInvalidParameter;
        if (amount == 0 || radius == 0)
            return result::kSuccess;
        Bitmap blurred = bitmap;
        gaussian(blurred, radius);
        for (int y = 0; y < bitmap.height(); ++y) {
            uint8_t* d = bitmap.row(y);
            const uint8_t* s = blurred.row(y);
            for (int i = 0; i < bitmap.width() * 3; ++i) {
                const int diff = d[i] - s[i];
                if (std::abs(diff) >= threshold)
                    d[i] = static_cast<uint8_t>(std::clamp(d[i] + diff * amount / 100, 0, 255));
            }
        }
        return result::kSuccess;
    });
}

} // namespace kamelo::imaging
