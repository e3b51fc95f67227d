#include "bmpwriter.h"

#include "core/filebytes.h"
#include "result.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kamelo::imaging::bmpwriter {

namespace {

void put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

// Dots per inch to the header's pixels per metre.
uint32_t perMetre(int dpi) {
    return static_cast<uint32_t>(std::lround(std::max(1, dpi) / 0.0254));
}

} // namespace

int encode(const Bitmap& bitmap, std::vector<uint8_t>& out) {
    if (!bitmap.isAllocated())
        return result::kNoBitmap;
    constexpr size_t kHeaders = 14 + 40;
    const size_t w = static_cast<size_t>(bitmap.width()), h = static_cast<size_t>(bitmap.height());
    const size_t stride = (w * 3 + 3) / 4 * 4;
    const uint64_t total = kHeaders + uint64_t(stride) * h;
    if (total > 0xFFFFFFFFu) // the file size field has 32 bits
        return result::kTooLarge;
    out.clear();
    reserveFaulted(out, static_cast<size_t>(total));
    out.resize(static_cast<size_t>(total));
    uint8_t* p = out.data();
    p[0] = 'B';
    p[1] = 'M';
    put32(p + 2, static_cast<uint32_t>(total));
    put32(p + 6, 0);
    put32(p + 10, kHeaders);
    put32(p + 14, 40);
    put32(p + 18, static_cast<uint32_t>(w));
    put32(p + 22, static_cast<uint32_t>(h)); // positive: bottom-up
    put16(p + 26, 1);
    put16(p + 28, 24);
    put32(p + 30, 0); // BI_RGB
    put32(p + 34, static_cast<uint32_t>(stride * h));
    put32(p + 38, perMetre(bitmap.xResolution()));
    put32(p + 42, perMetre(bitmap.yResolution()));
    put32(p + 46, 0);
    put32(p + 50, 0);
    for (size_t y = 0; y < h; ++y) {
        uint8_t* row = p + kHeaders + (h - 1 - y) * stride;
        std::memcpy(row, bitmap.row(static_cast<int>(y)), w * 3);
        std::memset(row + w * 3, 0, stride - w * 3);
    }
    return result::kSuccess;
}

} // namespace kamelo::imaging::bmpwriter
