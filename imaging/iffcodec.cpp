#include "iffcodec.h"

#include "bitmap.h"
#include "byteorder.h"
#include "packbits.h"
#include "result.h"

#include <cstring>

namespace kamelo::imaging::iffcodec {

namespace {

constexpr uint32_t kCamgHam = 0x800;
constexpr uint32_t kCamgEhb = 0x80;

struct Picture {
    bool chunky = false; // FORM PBM
    int width = 0;
    int height = 0;
    int planes = 0;
    int masking = 0;
    int compression = 0;
    uint32_t camg = 0;
    std::vector<uint32_t> palette;
    const uint8_t* body = nullptr;
    size_t bodySize = 0;
    bool haveHeader = false;
};

int parse(ByteView bytes, Picture& p) {
    ByteReader r(bytes.data, bytes.size);
    if (!r.has(12) || std::memcmp(r.here(), "FORM", 4) != 0)
        return result::kUnknownFormat;
    r.skip(4);
    const uint32_t formSize = r.be32();
    if (std::memcmp(r.here(), "ILBM", 4) == 0)
        p.chunky = false;
    else if (std::memcmp(r.here(), "PBM ", 4) == 0)
        p.chunky = true;
    else
        return result::kUnknownFormat;
    r.skip(4);
    const size_t end = std::min<size_t>(bytes.size, size_t(formSize) + 8);
    bool oldPalette = true;
    while (r.pos() + 8 <= end) {
        char id[4];
        std::memcpy(id, r.here(), 4);
        r.skip(4);
        const uint32_t len = r.be32();
        const size_t start = r.pos();
        const size_t avail = end - start;
        const size_t chunkLen = std::min<size_t>(len, avail);
        if (std::memcmp(id, "BMHD", 4) == 0 && chunkLen >= 20) {
            ByteReader h(bytes.data + start, chunkLen);
            p.width = h.be16();
            p.height = h.be16();
            h.skip(4);
            p.planes = h.u8();
            p.masking = h.u8();
            p.compression = h.u8();
            p.haveHeader = true;
        } else if (std::memcmp(id, "CMAP", 4) == 0) {
            p.palette.clear();
            for (size_t i = 0; i + 3 <= chunkLen && i / 3 < 256; i += 3) {
                const uint8_t* c = bytes.data + start + i;
                if ((c[0] | c[1] | c[2]) & 0x0F)
                    oldPalette = false;
                p.palette.push_back(uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2]);
            }
        } else if (std::memcmp(id, "CAMG", 4) == 0 && chunkLen >= 4) {
            ByteReader c(bytes.data + start, chunkLen);
            p.camg = c.be32();
        } else if (std::memcmp(id, "BODY", 4) == 0) {
            p.body = bytes.data + start;
            p.bodySize = chunkLen;
        }
        if (len > avail)
            break;
        r.seek(start + len + (len & 1));
    }
    if (!p.haveHeader)
        return result::kCorruptData;
    // Old 4-bit-per-gun palettes were stored shifted up: spread them to 8 bits.
    if (oldPalette)
        for (uint32_t& c : p.palette)
            c |= (c >> 4) & 0x0F0F0F;
    if (p.width < 1 || p.height < 1 || p.planes < 1)
        return result::kCorruptData;
    if (p.planes > 8 && p.planes != 24 && p.planes != 32)
        return result::kUnsupported;
    if (p.chunky && p.planes != 8)
        return result::kUnsupported;
    if (p.compression > 1)
        return result::kUnsupported;
    return result::kSuccess;
}

uint32_t greyFor(uint32_t index, int planes) {
    const uint32_t max = (1u << planes) - 1;
    const uint32_t v = max ? index * 255 / max : 0;
    return v << 16 | v << 8 | v;
}

// Reads one stored row (plain or ByteRun1) into dst.
bool readRow(const Picture& p, size_t& at, uint8_t* dst, size_t want) {
    if (p.compression == 0) {
        if (at > p.bodySize || want > p.bodySize - at) {
            std::memset(dst, 0, want);
            return false;
        }
        std::memcpy(dst, p.body + at, want);
        at += want;
        return true;
    }
    bool complete = false;
    if (at < p.bodySize)
        at += packbits::decode(p.body + at, p.bodySize - at, dst, want, &complete);
    if (!complete)
        std::memset(dst, 0, want); // keep the row defined; the caller reports truncation
    return complete;
}

} // namespace

int readInfo(ByteView bytes, FileInfo& fi) {
    Picture p;
    int rc = parse(bytes, p);
    if (rc < 1)
        return rc;
    fi.format = PictureFormat::Iff;
    fi.width = p.width;
    fi.height = p.height;
    fi.bitsPerPixel = p.planes;
    fi.compression = p.compression == 1 ? "ByteRun1" : "없음";
    fi.pageCount = 1;
    return result::kSuccess;
}

int decode(ByteView bytes, const LoadOptions& options, Bitmap& out) {
    Picture p;
    int rc = parse(bytes, p);
    if (rc < 1)
        return rc;
    if (!p.body)
        return result::kTruncated;
    if (int64_t(p.width) * p.height > kMaxPixels)
        return result::kTooLarge;
    const size_t planeBytes = p.chunky ? (static_cast<size_t>(p.width) + 1) & ~size_t(1)
                                       : ((static_cast<size_t>(p.width) + 15) / 16) * 2;
    const int storedPlanes = p.chunky ? 1 : p.planes + (p.masking == 1 ? 1 : 0);
    // Each stored row takes at least this much of the body.
    const size_t minRow = p.compression == 0 ? planeBytes : 2 * ((planeBytes + 127) / 128);
    if (p.bodySize / minRow / static_cast<size_t>(p.height) < static_cast<size_t>(storedPlanes))
        return result::kTruncated;

    rc = out.create(p.width, p.height);
    if (rc != result::kSuccess)
        return rc;
    out.setSourceBitsPerPixel(p.planes);

    const bool ham = !p.chunky && (p.camg & kCamgHam) && (p.planes == 6 || p.planes == 8);
    std::vector<uint32_t> palette = p.palette;
    if (!ham && !p.chunky && (p.camg & kCamgEhb) && p.planes == 6 && palette.size() >= 32) {
        palette.resize(64);
        for (int i = 0; i < 32; ++i)
            palette[32 + i] = (palette[i] >> 1) & 0x7F7F7F;
    }
    out.setPalette(palette);

    std::vector<uint8_t> plane(planeBytes);
    std::vector<uint32_t> index(static_cast<size_t>(p.width));
    size_t at = 0;
    bool truncated = false;
    for (int y = 0; y < p.height; ++y) {
        std::fill(index.begin(), index.end(), 0);
        for (int k = 0; k < storedPlanes; ++k) {
            if (!readRow(p, at, plane.data(), planeBytes))
                truncated = true;
            if (p.chunky) {
                for (int x = 0; x < p.width; ++x)
                    index[x] = plane[x];
            } else if (k < p.planes) {
                for (int x = 0; x < p.width; ++x)
                    index[x] |= uint32_t(plane[x >> 3] >> (7 - (x & 7)) & 1) << k;
            }
        }
        uint8_t* dst = out.row(y);
        uint32_t previous = palette.empty() ? 0 : palette[0];
        for (int x = 0; x < p.width; ++x, dst += 3) {
            const uint32_t v = index[x];
            uint32_t rgb;
            if (p.planes == 24 || p.planes == 32) {
                rgb = (v & 0xFF) << 16 | (v & 0xFF00) | (v >> 16 & 0xFF);
                if (p.planes == 32) {
                    const unsigned a = v >> 24;
                    rgb = uint32_t(overWhite(rgb >> 16 & 0xFF, a)) << 16 |
                          uint32_t(overWhite(rgb >> 8 & 0xFF, a)) << 8 | overWhite(rgb & 0xFF, a);
                }
            } else if (ham) {
                const int valueBits = p.planes - 2;
                const uint32_t control = v >> valueBits;
                const uint32_t value = v & ((1u << valueBits) - 1);
                const uint32_t eight =
                    valueBits == 4 ? value * 17 : (value << 2 | value >> 4); // widen to 8 bits
                switch (control) {
                case 0:
                    rgb = value < palette.size() ? palette[value] : greyFor(value, valueBits);
                    break;
                case 1:
                    rgb = (previous & 0xFFFF00) | eight;
                    break;
                case 2:
                    rgb = (previous & 0x00FFFF) | eight << 16;
                    break;
                default:
                    rgb = (previous & 0xFF00FF) | eight << 8;
                }
                previous = rgb;
            } else {
                rgb = v < palette.size() ? palette[v] : greyFor(v, p.planes);
            }
            dst[0] = uint8_t(rgb);
            dst[1] = uint8_t(rgb >> 8);
            dst[2] = uint8_t(rgb >> 16);
        }
        if (options.onRows && !truncated) {
            rc = options.onRows(out, y, 1, 0);
            if (rc < 1)
                return rc;
        }
    }
    return truncated ? result::kTruncated : result::kSuccess;
}

namespace {
void put32(std::vector<uint8_t>& o, uint32_t v) {
    o.push_back(uint8_t(v >> 24));
    o.push_back(uint8_t(v >> 16));
    o.push_back(uint8_t(v >> 8));
    o.push_back(uint8_t(v));
}
void put16(std::vector<uint8_t>& o, unsigned v) {
    o.push_back(uint8_t(v >> 8));
    o.push_back(uint8_t(v));
}
} // namespace

int encode(const Bitmap& bitmap, std::vector<uint8_t>& out) {
    if (!bitmap.isAllocated())
        return result::kNoBitmap;
    if (bitmap.width() > 0xFFFF || bitmap.height() > 0xFFFF)
        return result::kTooLarge;
    const int w = bitmap.width(), h = bitmap.height();
    const size_t planeBytes = ((static_cast<size_t>(w) + 15) / 16) * 2;
    std::vector<uint8_t> body, plane(planeBytes);
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = bitmap.row(y);
        for (int k = 0; k < 24; ++k) {
            // Planes 0-7 hold red, 8-15 green, 16-23 blue, lowest bit first.
            const int channel = 2 - k / 8;
            const int bit = k % 8;
            std::fill(plane.begin(), plane.end(), 0);
            for (int x = 0; x < w; ++x)
                if (src[x * 3 + channel] >> bit & 1)
                    plane[x >> 3] |= uint8_t(0x80 >> (x & 7));
            packbits::encode(plane.data(), plane.size(), body);
        }
    }
    out.clear();
    out.insert(out.end(), {'F', 'O', 'R', 'M'});
    put32(out, 0); // patched below
    out.insert(out.end(), {'I', 'L', 'B', 'M', 'B', 'M', 'H', 'D'});
    put32(out, 20);
    put16(out, static_cast<unsigned>(w));
    put16(out, static_cast<unsigned>(h));
    put32(out, 0);     // x, y
    out.push_back(24); // planes
    out.push_back(0);  // no mask
    out.push_back(1);  // ByteRun1
    out.push_back(0);  // pad
    put16(out, 0);     // transparent colour
    out.push_back(1);  // aspect x
    out.push_back(1);  // aspect y
    put16(out, static_cast<unsigned>(w));
    put16(out, static_cast<unsigned>(h));
    out.insert(out.end(), {'B', 'O', 'D', 'Y'});
    put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1)
        out.push_back(0);
    const uint32_t formSize = static_cast<uint32_t>(out.size() - 8);
    out[4] = uint8_t(formSize >> 24);
    out[5] = uint8_t(formSize >> 16);
    out[6] = uint8_t(formSize >> 8);
    out[7] = uint8_t(formSize);
    return result::kSuccess;
}

} // namespace kamelo::imaging::iffcodec
