#include "rascodec.h"

#include "bitmap.h"
#include "byteorder.h"
#include "result.h"

#include <cstring>

namespace kamelo::imaging::rascodec {

namespace {

constexpr uint32_t kMagic = 0x59A66A95;
enum Type : uint32_t { Old = 0, Standard = 1, ByteEncoded = 2, Rgb = 3 };

struct Header {
    int width = 0, height = 0, depth = 0;
    uint32_t type = 0, mapType = 0, mapLength = 0;
};

int readHeader(ByteReader& r, Header& h) {
    if (r.be32() != kMagic)
        return result::kUnknownFormat;
    const uint32_t w = r.be32(), hh = r.be32(), depth = r.be32();
    r.skip(4); // data length, often 0
    h.type = r.be32();
    h.mapType = r.be32();
    h.mapLength = r.be32();
    if (!r.ok())
        return result::kTruncated;
    if (w == 0 || hh == 0 || w > 1u << 20 || hh > 1u << 20)
        return result::kCorruptData;
    if (depth != 1 && depth != 8 && depth != 24 && depth != 32)
        return result::kUnsupported;
    if (h.type > Rgb || h.mapType > 1)
        return result::kUnsupported;
    h.width = static_cast<int>(w);
    h.height = static_cast<int>(hh);
    h.depth = static_cast<int>(depth);
    return result::kSuccess;
}

// Expands the run-length coding: 0x80 0 is a single 0x80, 0x80 n v is n + 1
// copies of v.
size_t unpack(const uint8_t* src, size_t size, uint8_t* out, size_t want) {
    size_t in = 0, produced = 0;
    while (produced < want && in < size) {
        const uint8_t b = src[in++];
        if (b != 0x80) {
            out[produced++] = b;
            continue;
        }
        if (in >= size)
            break;
        const uint8_t n = src[in++];
        if (n == 0) {
            out[produced++] = 0x80;
            continue;
        }
        if (in >= size)
            break;
        const uint8_t v = src[in++];
        const size_t count = std::min<size_t>(size_t(n) + 1, want - produced);
        std::memset(out + produced, v, count);
        produced += count;
    }
    return produced;
}

} // namespace

int readInfo(ByteView bytes, FileInfo& fi) {
    ByteReader r(bytes.data, bytes.size);
    Header h;
    const int rc = readHeader(r, h);
    if (rc < 1)
        return rc;
    fi.format = PictureFormat::Ras;
    fi.width = h.width;
    fi.height = h.height;
    fi.bitsPerPixel = h.depth;
    fi.compression = h.type == ByteEncoded ? "RLE" : "없음";
    fi.pageCount = 1;
    return result::kSuccess;
}

int decode(ByteView bytes, const LoadOptions& options, Bitmap& out) {
    ByteReader r(bytes.data, bytes.size);
    Header h;
    int rc = readHeader(r, h);
    if (rc < 1)
        return rc;
    if (int64_t(h.width) * h.height > kMaxPixels)
        return result::kTooLarge;
    std::vector<uint32_t> palette;
    if (h.mapType == 1 && h.mapLength > 0) {
        const uint32_t n = h.mapLength / 3;
        if (!r.has(h.mapLength) || n > 256)
            return result::kCorruptData;
        const uint8_t* m = r.here();
        for (uint32_t i = 0; i < n; ++i)
            palette.push_back(uint32_t(m[i]) << 16 | uint32_t(m[n + i]) << 8 | m[2 * n + i]);
    }
    r.skip(h.mapLength);
    if (!r.ok())
        return result::kTruncated;

    // Rows are padded to 16 bits.
    const size_t rowBytes = ((static_cast<size_t>(h.width) * h.depth + 15) / 16) * 2;
    const size_t total = rowBytes * static_cast<size_t>(h.height);
    // Run-length coding shrinks data by at most 256 / 3; refuse sizes the
    // file cannot back before allocating them.
    if (h.type == ByteEncoded ? r.remaining() < total / 86 : r.remaining() < total)
        return result::kTruncated;
    std::vector<uint8_t> data(total);
    if (h.type == ByteEncoded) {
        if (unpack(r.here(), r.remaining(), data.data(), total) < total)
            return result::kTruncated;
    } else {
        std::memcpy(data.data(), r.here(), total);
    }

    rc = out.create(h.width, h.height);
    if (rc != result::kSuccess)
        return rc;
    out.setSourceBitsPerPixel(h.depth);
    out.setPalette(palette);
    const bool rgbOrder = h.type == Rgb;
    for (int y = 0; y < h.height; ++y) {
        const uint8_t* src = data.data() + rowBytes * static_cast<size_t>(y);
        uint8_t* dst = out.row(y);
        for (int x = 0; x < h.width; ++x, dst += 3) {
            uint32_t rgb;
            switch (h.depth) {
            case 1: {
                const bool set = src[x >> 3] >> (7 - (x & 7)) & 1;
                // Without a map, a set bit is black.
                rgb = palette.size() >= 2 ? palette[set ? 1 : 0] : (set ? 0 : 0xFFFFFF);
                break;
            }
            case 8:
                rgb = src[x] < palette.size() ? palette[src[x]] : src[x] * 0x010101u;
                break;
            case 24: {
                const uint8_t* p = src + x * 3;
                rgb = rgbOrder ? uint32_t(p[0]) << 16 | p[1] << 8 | p[2]
                               : uint32_t(p[2]) << 16 | p[1] << 8 | p[0];
                break;
            }
            default: { // 32: a pad byte, then the colour
                const uint8_t* p = src + x * 4;
                rgb = rgbOrder ? uint32_t(p[1]) << 16 | p[2] << 8 | p[3]
                               : uint32_t(p[3]) << 16 | p[2] << 8 | p[1];
            }
            }
            dst[0] = uint8_t(rgb);
            dst[1] = uint8_t(rgb >> 8);
            dst[2] = uint8_t(rgb >> 16);
        }
    }
    if (options.onRows) {
        rc = options.onRows(out, 0, out.height(), 0);
        if (rc < 1)
            return rc;
    }
    return result::kSuccess;
}

} // namespace kamelo::imaging::rascodec
