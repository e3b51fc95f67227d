#include "resize.h"

#include "parallelrows.h"
#include "result.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <functional>
#include <thread>
#include <vector>

namespace kamelo::imaging {

namespace {

constexpr int kWeightBits = 14;
constexpr int kWeightOne = 1 << kWeightBits;

// For each output position, the first source index and fixed-point weights.
struct Taps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<int32_t> weights; // count[i] entries per output, at i * stride
    int stride = 0;
};

double cubic(double x) {
    x = std::abs(x);
    if (x < 1)
        return (1.5 * x - 2.5) * x * x + 1;
    if (x < 2)
        return ((-0.5 * x + 2.5) * x - 4) * x + 2;
    return 0;
}

Taps makeTaps(int srcSize, int dstSize, int flags) {
    Taps t;
    const double scale = double(srcSize) / dstSize;
    const bool shrinking = scale > 1.0;
    double support;
    if (flags == Resize::kBicubic)
        support = 2.0 * std::max(1.0, scale);
    else if (shrinking)
        support = scale / 2 + 0.5; // area: the box covers scale source pixels
    else
        support = 1.0; // bilinear
    t.stride = static_cast<int>(std::ceil(support * 2)) + 2;
    t.first.resize(dstSize);
    t.count.resize(dstSize);
    t.weights.assign(static_cast<size_t>(dstSize) * t.stride, 0);
    std::vector<double> w(static_cast<size_t>(t.stride));
    for (int i = 0; i < dstSize; ++i) {
        const double center = (i + 0.5) * scale - 0.5;
        int lo = static_cast<int>(std::floor(center - support)) + 1;
        int hi = static_cast<int>(std::floor(center + support));
        lo = std::max(lo, 0);
        hi = std::min(hi, srcSize - 1);
        if (hi - lo + 1 > t.stride)
            hi = lo + t.stride - 1;
        double sum = 0;
        int n = 0;
        for (int j = lo; j <= hi; ++j, ++n) {
            double v;
            if (flags == Resize::kBicubic) {
                v = cubic((j - center) / std::max(1.0, scale));
            } else if (shrinking) {
                // Share of source pixel j inside the output pixel's box.
                const double a = std::max(j - 0.5, center - scale / 2);
                const double b = std::min(j + 0.5, center + scale / 2);
                v = std::max(0.0, b - a);
            } else {
                v = std::max(0.0, 1.0 - std::abs(j - center));
            }
            w[n] = v;
            sum += v;
        }
        if (n == 0 || sum == 0) {
            // Outside every kernel (cannot happen for valid sizes): nearest.
            lo = std::clamp(static_cast<int>(std::lround(center)), 0, srcSize - 1);
            n = 1;
            w[0] = sum = 1;
        }
        t.first[i] = lo;
        t.count[i] = n;
        int32_t total = 0;
        int biggest = 0;
        for (int k = 0; k < n; ++k) {
            const int32_t q = static_cast<int32_t>(std::lround(w[k] / sum * kWeightOne));
            t.weights[static_cast<size_t>(i) * t.stride + k] = q;
            total += q;
            if (std::abs(q) > std::abs(t.weights[static_cast<size_t>(i) * t.stride + biggest]))
                biggest = k;
        }
        // Rounding must not change the overall brightness.
        t.weights[static_cast<size_t>(i) * t.stride + biggest] += kWeightOne - total;
    }
    return t;
}

inline uint8_t clampPixel(int32_t v) {
    v = (v + (kWeightOne >> 1)) >> kWeightBits;
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

void nearest(const Bitmap& src, Bitmap& dst) {
    std::vector<int> xs(static_cast<size_t>(dst.width()));
    for (int x = 0; x < dst.width(); ++x)
        xs[x] = std::min(src.width() - 1,
                         static_cast<int>((int64_t(x) * 2 + 1) * src.width() / (2 * dst.width())));
    for (int y = 0; y < dst.height(); ++y) {
        const int sy =
            std::min(src.height() - 1,
                     static_cast<int>((int64_t(y) * 2 + 1) * src.height() / (2 * dst.height())));
        const uint8_t* s = src.row(sy);
        uint8_t* d = dst.row(y);
        for (int x = 0; x < dst.width(); ++x, d += 3) {
            const uint8_t* p = s + xs[x] * 3;
            d[0] = p[0];
            d[1] = p[1];
            d[2] = p[2];
        }
    }
}

// Separable filter: rows first into a temporary picture, then columns.
int filtered(const Bitmap& src, Bitmap& dst, int flags) {
    const Taps tx = makeTaps(src.width(), dst.width(), flags);
    const Taps ty = makeTaps(src.height(), dst.height(), flags);
    Bitmap mid;
    int rc = mid.create(dst.width(), src.height());
    if (rc != result::kSuccess)
        return rc;
    forRows(src.height(), int64_t(dst.width()) * tx.stride, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uint8_t* s = src.row(y);
            uint8_t* d = mid.row(y);
            for (int x = 0; x < dst.width(); ++x, d += 3) {
                const int32_t* w = tx.weights.data() + static_cast<size_t>(x) * tx.stride;
                const uint8_t* p = s + tx.first[x] * 3;
                int32_t b = 0, g = 0, r = 0;
                for (int k = 0; k < tx.count[x]; ++k, p += 3) {
                    b += w[k] * p[0];
                    g += w[k] * p[1];
                    r += w[k] * p[2];
                }
                d[0] = clampPixel(b);
                d[1] = clampPixel(g);
                d[2] = clampPixel(r);
            }
        }
    });
    const int rowBytes = dst.width() * 3;
    forRows(dst.height(), int64_t(rowBytes) * ty.stride, [&](int y0, int y1) {
        std::vector<int32_t> acc(static_cast<size_t>(rowBytes));
        for (int y = y0; y < y1; ++y) {
            std::fill(acc.begin(), acc.end(), 0);
            const int32_t* w = ty.weights.data() + static_cast<size_t>(y) * ty.stride;
            for (int k = 0; k < ty.count[y]; ++k) {
                const uint8_t* s = mid.row(ty.first[y] + k);
                const int32_t wk = w[k];
                for (int i = 0; i < rowBytes; ++i)
                    acc[i] += wk * s[i];
            }
            uint8_t* d = dst.row(y);
            for (int i = 0; i < rowBytes; ++i)
                d[i] = clampPixel(acc[i]);
        }
    });
    return result::kSuccess;
}

} // namespace

int Resize::scaled(const Bitmap& source, int width, int height, int flags, Bitmap& out) {
    return withoutThrowing([&]() -> int {
        if (!source.isAllocated())
            return result::kNoBitmap;
        if (width <= 0 || height <= 0)
            return result::kInvalidParameter;
        if (flags != kNearest && flags != kResample && flags != kBicubic)
            return result::kInvalidParameter;
        Bitmap dst;
        int rc = dst.create(width, height);
        if (rc != result::kSuccess)
            return rc;
        if (flags == kNearest)
            nearest(source, dst);
        else if ((rc = filtered(source, dst, flags)) != result::kSuccess)
            return rc;
        dst.setSourceBitsPerPixel(source.sourceBitsPerPixel());
        dst.setResolution(source.xResolution(), source.yResolution());
        out = std::move(dst);
        return result::kSuccess;
    });
}

int Resize::apply(Bitmap& bitmap, int width, int height, int flags) {
    return withoutThrowing([&]() -> int {
        Bitmap out;
        int rc = scaled(bitmap, width, height, flags, out);
        if (rc == result::kSuccess)
            bitmap = std::move(out);
        return rc;
    });
}

} // namespace kamelo::imaging
