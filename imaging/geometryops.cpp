#include "geometryops.h"

#include "parallelrows.h"
#include "result.h"

#include <algorithm>
#include <cstring>

namespace kamelo::imaging {

namespace {

void copyPixel(const uint8_t* s, uint8_t* d) {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
}

int turned(const Bitmap& src, int quarters, Bitmap& dst) {
    const int w = src.width(), h = src.height();
    const bool swap = quarters % 2 != 0;
    int rc = dst.allocate(swap ? h : w, swap ? w : h);
    if (rc != result::kSuccess)
        return rc;
    // Every pixel is written below; only the row padding is cleared.
    const size_t used = size_t(dst.width()) * 3;
    if (size_t(dst.stride()) > used)
        for (int y = 0; y < dst.height(); ++y)
            std::memset(dst.row(y) + used, 0, size_t(dst.stride()) - used);
    // In tiles, so that the scattered writes of a quarter turn stay in the
    // cache; bands of source rows spread over the cores.
    constexpr int kTile = 64;
    const int bands = (h + kTile - 1) / kTile;
    forRows(bands, int64_t(w) * kTile, [&](int b0, int b1) {
        for (int ty = b0 * kTile; ty < std::min(h, b1 * kTile); ty += kTile)
            for (int tx = 0; tx < w; tx += kTile) {
                const int yEnd = std::min(h, ty + kTile), xEnd = std::min(w, tx + kTile);
                for (int y = ty; y < yEnd; ++y) {
                    const uint8_t* s = src.row(y) + tx * 3;
                    for (int x = tx; x < xEnd; ++x, s += 3) {
                        int dx, dy;
                        switch (quarters) {
                        case 1: // right
                            dx = h - 1 - y;
                            dy = x;
                            break;
                        case 2:
                            dx = w - 1 - x;
                            dy = h - 1 - y;
                            break;
                        default: // left
                            dx = y;
                            dy = w - 1 - x;
                        }
                        copyPixel(s, dst.row(dy) + dx * 3);
                    }
                }
            }
    });
    return result::kSuccess;
}

} // namespace

int GeometryOps::rotate(Bitmap& bitmap, int angle) {
    return withoutThrowing([&]() -> int {
        if (!bitmap.isAllocated())
            return result::kNoBitmap;
        if (angle % 9000 != 0)
            return result::kInvalidParameter;
        const int quarters = ((angle / 9000) % 4 + 4) % 4;
        if (quarters == 0)
            return result::kSuccess;
        Bitmap dst;
        int rc = turned(bitmap, quarters, dst);
        if (rc != result::kSuccess)
            return rc;
        dst.setSourceBitsPerPixel(bitmap.sourceBitsPerPixel());
        if (quarters % 2)
            dst.setResolution(bitmap.yResolution(), bitmap.xResolution());
        else
            dst.setResolution(bitmap.xResolution(), bitmap.yResolution());
        dst.setPalette(bitmap.palette());
        bitmap = std::move(dst);
        return result::kSuccess;
    });
}

int GeometryOps::flip(Bitmap& bitmap) {
    return withoutThrowing([&]() -> int {
        if (!bitmap.isAllocated())
            return result::kNoBitmap;
        std::vector<uint8_t> tmp(static_cast<size_t>(bitmap.stride()));
        for (int top = 0, bottom = bitmap.height() - 1; top < bottom; ++top, --bottom) {
            std::memcpy(tmp.data(), bitmap.row(top), tmp.size());
            std::memcpy(bitmap.row(top), bitmap.row(bottom), tmp.size());
            std::memcpy(bitmap.row(bottom), tmp.data(), tmp.size());
        }
        return result::kSuccess;
    });
}

int GeometryOps::reverse(Bitmap& bitmap) {
    return withoutThrowing([&]() -> int {
        if (!bitmap.isAllocated())
            return result::kNoBitmap;
        for (int y = 0; y < bitmap.height(); ++y) {
            uint8_t* r = bitmap.row(y);
            for (int l = 0, rr = bitmap.width() - 1; l < rr; ++l, --rr)
                for (int c = 0; c < 3; ++c)
                    std::swap(r[l * 3 + c], r[rr * 3 + c]);
        }
        return result::kSuccess;
    });
}

int GeometryOps::trim(Bitmap& bitmap, const Rect& rect) {
    return withoutThrowing([&]() -> int {
        if (!bitmap.isAllocated())
            return result::kNoBitmap;
        const int x0 = std::max(0, rect.x), y0 = std::max(0, rect.y);
        const int x1 =
            static_cast<int>(std::min<int64_t>(bitmap.width(), int64_t(rect.x) + rect.width));
        const int y1 =
            static_cast<int>(std::min<int64_t>(bitmap.height(), int64_t(rect.y) + rect.height));
        if (x1 <= x0 || y1 <= y0)
            return result::kInvalidParameter;
        Bitmap dst;
        int rc = dst.create(x1 - x0, y1 - y0);
        if (rc != result::kSuccess)
            return rc;
        for (int y = y0; y < y1; ++y)
            std::memcpy(dst.row(y - y0), bitmap.row(y) + x0 * 3, static_cast<size_t>(x1 - x0) * 3);
        dst.setSourceBitsPerPixel(bitmap.sourceBitsPerPixel());
        dst.setResolution(bitmap.xResolution(), bitmap.yResolution());
        dst.setPalette(bitmap.palette());
        bitmap = std::move(dst);
        return result::kSuccess;
    });
}

int GeometryOps::combine(Bitmap& bitmap, const Bitmap& source, int x, int y, int width, int height,
                         int sx, int sy) {
    return withoutThrowing([&]() -> int {
        if (!bitmap.isAllocated() || !source.isAllocated())
            return result::kNoBitmap;
        if (width <= 0 || height <= 0)
            return result::kInvalidParameter;
        // Clip the copy against the source and the destination in 64 bits.
        int64_t dx = x, dy = y, ssx = sx, ssy = sy, w = width, h = height;
        if (ssx < 0) {
            dx -= ssx;
            w += ssx;
            ssx = 0;
        }
        if (ssy < 0) {
            dy -= ssy;
            h += ssy;
            ssy = 0;
        }
        if (dx < 0) {
            ssx -= dx;
            w += dx;
            dx = 0;
        }
        if (dy < 0) {
            ssy -= dy;
            h += dy;
            dy = 0;
        }
        w = std::min({w, int64_t(source.width()) - ssx, int64_t(bitmap.width()) - dx});
        h = std::min({h, int64_t(source.height()) - ssy, int64_t(bitmap.height()) - dy});
        if (w <= 0 || h <= 0)
            return result::kSuccess; // nothing overlaps
        const bool same = &bitmap == &source;
        const Bitmap copy = same ? source : Bitmap();
        const Bitmap& from = same ? copy : source;
        for (int64_t r = 0; r < h; ++r)
            std::memmove(bitmap.row(static_cast<int>(dy + r)) + dx * 3,
                         from.row(static_cast<int>(ssy + r)) + ssx * 3, static_cast<size_t>(w) * 3);
        return result::kSuccess;
    });
}

} // namespace kamelo::imaging
