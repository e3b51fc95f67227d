#include "bmp24.h"

#include <cstring>

namespace kamelo::desktop {

namespace {
void put16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    v[at] = uint8_t(x);
    v[at + 1] = uint8_t(x >> 8);
}
void put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v[at + i] = uint8_t(x >> (8 * i));
}
} // namespace

std::vector<uint8_t> encodeBmp24(int width, int height, int stride, const uint8_t* bits) {
    if (width <= 0 || height <= 0 || !bits || stride < width * 3)
        return {};
    const uint64_t rowBytes = (uint64_t(width) * 3 + 3) & ~uint64_t(3);
    const uint64_t imageBytes = rowBytes * uint64_t(height);
    constexpr uint32_t kHeader = 14 + 40;
    if (imageBytes + kHeader > 0xFFFFFFFFull)
        return {};
    std::vector<uint8_t> out(size_t(kHeader + imageBytes), 0);
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, uint32_t(kHeader + imageBytes));
    put32(out, 10, kHeader);
    put32(out, 14, 40);
    put32(out, 18, uint32_t(width));
    put32(out, 22, uint32_t(height)); // positive: rows bottom-up
    put16(out, 26, 1);
    put16(out, 28, 24);
    put32(out, 34, uint32_t(imageBytes));
    put32(out, 38, 2835); // 72 dpi
    put32(out, 42, 2835);
    for (int y = 0; y < height; ++y)
        std::memcpy(out.data() + kHeader + rowBytes * uint64_t(height - 1 - y),
                    bits + size_t(y) * size_t(stride), size_t(width) * 3);
    return out;
}

} // namespace kamelo::desktop
