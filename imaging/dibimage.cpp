#include "dibimage.h"

#include "bitmap.h"
#include "byteorder.h"

#include <bit>

namespace kamelo::imaging {

namespace {

// Scales a masked field to 0..255.
uint8_t field(uint32_t v, uint32_t mask) {
    if (!mask)
        return 0;
    const int shift = std::countr_zero(mask);
    const uint32_t max = mask >> shift;
    return static_cast<uint8_t>(((v & mask) >> shift) * 255 / max);
}

} // namespace

QImage decodeDib(const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize) {
    ByteReader r(info, infoSize);
    const uint32_t headerSize = r.le32();
    if (!r.ok() || headerSize < 40 || headerSize > infoSize)
        return {};
    const int32_t width = r.le32s();
    const int32_t rawHeight = r.le32s();
    r.skip(2);
    const uint16_t bpp = r.le16();
    const uint32_t compression = r.le32();
    r.skip(12);
    uint32_t used = r.le32();
    if (!r.ok() || width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN)
        return {};
    const bool topDown = rawHeight < 0;
    const int32_t height = topDown ? -rawHeight : rawHeight;
    if (int64_t(width) * height > kMaxPixels / 4)
        return {};
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return {};
    if (compression != 0 && compression != 3)
        return {};

    uint32_t masks[3] = {0, 0, 0};
    r.seek(headerSize);
    if (compression == 3) {
        masks[0] = r.le32();
        masks[1] = r.le32();
        masks[2] = r.le32();
    } else if (bpp == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else if (bpp == 32) {
        masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    }
    QList<QRgb> table;
    if (bpp <= 8) {
        if (used == 0 || used > (1u << bpp))
            used = 1u << bpp;
        for (uint32_t i = 0; i < used; ++i) {
            const uint8_t b = r.u8(), g = r.u8(), rd = r.u8();
            r.skip(1);
            table.append(qRgb(rd, g, b));
        }
        if (!r.ok())
            return {};
    }
    const size_t stride = ((static_cast<size_t>(width) * bpp + 31) / 32) * 4;
    if (bitsSize / stride < static_cast<size_t>(height))
        return {};

    QImage img(width, height, QImage::Format_RGB32);
    if (img.isNull())
        return {};
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* src = bits + stride * static_cast<size_t>(topDown ? y : height - 1 - y);
        QRgb* dst = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int32_t x = 0; x < width; ++x) {
            switch (bpp) {
            case 1:
            case 4:
            case 8: {
                const int perByte = 8 / bpp;
                const int shift = 8 - bpp * (1 + x % perByte);
                const uint32_t index = (src[x / perByte] >> shift) & ((1u << bpp) - 1);
                dst[x] = index < static_cast<uint32_t>(table.size()) ? table[index] : qRgb(0, 0, 0);
                break;
            }
            case 16: {
                const uint32_t v = src[2 * x] | src[2 * x + 1] << 8;
                dst[x] = qRgb(field(v, masks[0]), field(v, masks[1]), field(v, masks[2]));
                break;
            }
            case 24:
                dst[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
                break;
            default: {
                const uint8_t* p = src + 4 * x;
                const uint32_t v = p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
                dst[x] = qRgb(field(v, masks[0]), field(v, masks[1]), field(v, masks[2]));
            }
            }
        }
    }
    return img;
}

} // namespace kamelo::imaging
