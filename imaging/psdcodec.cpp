#include "psdcodec.h"

#include "bitmap.h"
#include "byteorder.h"
#include "packbits.h"
#include "result.h"

#include <cmath>
#include <cstring>

namespace kamelo::imaging::psdcodec {

namespace {

enum Mode {
    Bitmap1 = 0,
    Grey = 1,
    Indexed = 2,
    Rgb = 3,
    Cmyk = 4,
    Multichannel = 7,
    Duotone = 8,
    Lab = 9
};

struct Header {
    int channels = 0;
    int width = 0;
    int height = 0;
    int depth = 0;
    int mode = 0;
    std::vector<uint32_t> palette;
    size_t imageData = 0; // offset of the compression word
};

int readHeader(ByteReader& r, Header& h) {
    if (!r.has(26) || std::memcmp(r.here(), "8BPS", 4) != 0)
        return result::kUnknownFormat;
    r.skip(4);
    const uint16_t version = r.be16();
    if (version == 2)
        return result::kUnsupported; // large-document format
    if (version != 1)
        return result::kCorruptData;
    r.skip(6);
    h.channels = r.be16();
    h.height = static_cast<int>(r.be32());
    h.width = static_cast<int>(r.be32());
    h.depth = r.be16();
    h.mode = r.be16();
    if (!r.ok())
        return result::kTruncated;
    if (h.channels < 1 || h.channels > 56 || h.width < 1 || h.height < 1 || h.width > 300000 ||
        h.height > 300000)
        return result::kCorruptData;
    if (h.depth != 1 && h.depth != 8 && h.depth != 16 && h.depth != 32)
        return result::kCorruptData;

    const uint32_t modeLen = r.be32();
    if (!r.has(modeLen))
        return result::kTruncated;
    if (h.mode == Indexed && modeLen >= 768) {
        const uint8_t* p = r.here();
        for (int i = 0; i < 256; ++i)
            h.palette.push_back(uint32_t(p[i]) << 16 | uint32_t(p[256 + i]) << 8 | p[512 + i]);
    }
    r.skip(modeLen);
    const uint32_t resourcesLen = r.be32();
    r.skip(resourcesLen);
    const uint32_t layersLen = r.be32();
    r.skip(layersLen);
    if (!r.ok())
        return result::kTruncated;
    h.imageData = r.pos();
    return result::kSuccess;
}

int channelsNeeded(const Header& h) {
    switch (h.mode) {
    case Rgb:
    case Lab:
        return 3;
    case Cmyk:
        return 4;
    default:
        return 1;
    }
}

size_t rowBytes(const Header& h) {
    return h.depth == 1 ? (static_cast<size_t>(h.width) + 7) / 8
                        : static_cast<size_t>(h.width) * (h.depth / 8);
}

// One channel row, reduced to 8 bits per sample.
void toEightBit(const Header& h, const uint8_t* src, uint8_t* dst) {
    const int w = h.width;
    switch (h.depth) {
    case 1:
        for (int x = 0; x < w; ++x)
            dst[x] = (src[x >> 3] >> (7 - (x & 7)) & 1) ? 0 : 255; // 1 is black
        break;
    case 8:
        std::memcpy(dst, src, static_cast<size_t>(w));
        break;
    case 16:
        for (int x = 0; x < w; ++x)
            dst[x] =
                static_cast<uint8_t>(((src[2 * x] << 8 | src[2 * x + 1]) * 255 + 32767) / 65535);
        break;
    case 32:
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = src + 4 * x;
            uint32_t bits =
                uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
            float f;
            std::memcpy(&f, &bits, 4);
            if (!(f > 0.0f))
                f = 0.0f;
            // 32-bit documents hold linear light.
            const double v = f >= 1.0f ? 1.0 : std::pow(static_cast<double>(f), 1.0 / 2.2);
            dst[x] = static_cast<uint8_t>(v * 255.0 + 0.5);
        }
        break;
    }
}

uint8_t clampByte(double v) {
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v + 0.5);
}

void labToBgr(uint8_t L, uint8_t A, uint8_t B, uint8_t* dst) {
    const double l = L * 100.0 / 255.0, a = A - 128.0, b = B - 128.0;
    double fy = (l + 16) / 116, fx = fy + a / 500, fz = fy - b / 200;
    auto inv = [](double t) {
        return t > 6.0 / 29 ? t * t * t : 3 * (6.0 / 29) * (6.0 / 29) * (t - 4.0 / 29);
    };
    const double X = 0.9642 * inv(fx), Y = inv(fy), Z = 0.8249 * inv(fz);
    double r = 3.1339 * X - 1.6169 * Y - 0.4906 * Z;
    double g = -0.9788 * X + 1.9161 * Y + 0.0335 * Z;
    double bl = 0.0719 * X - 0.2290 * Y + 1.4052 * Z;
    auto gamma = [](double c) {
        return c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
    };
    dst[0] = clampByte(gamma(bl) * 255);
    dst[1] = clampByte(gamma(g) * 255);
    dst[2] = clampByte(gamma(r) * 255);
}

} // namespace

int readInfo(ByteView bytes, FileInfo& fi) {
    ByteReader r(bytes.data, bytes.size);
    Header h;
    int rc = readHeader(r, h);
    if (rc < 1)
        return rc;
    r.seek(h.imageData);
    const uint16_t compression = r.be16();
    fi.format = PictureFormat::Psd;
    fi.width = h.width;
    fi.height = h.height;
    fi.bitsPerPixel = h.depth * h.channels;
    fi.compression = compression == 1 ? "RLE" : compression == 0 ? "없음" : "ZIP";
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
    const int needed = channelsNeeded(h);
    if (h.channels < needed)
        return result::kCorruptData;
    r.seek(h.imageData);
    const uint16_t compression = r.be16();
    if (!r.ok())
        return result::kTruncated;
    if (compression > 1)
        return result::kUnsupported;

    const size_t rb = rowBytes(h);
    const size_t w = static_cast<size_t>(h.width);
    const size_t rows = static_cast<size_t>(h.height);
    // The smallest data that could fill the picture: refuse before allocating
    // for dimensions the file cannot back.
    const size_t minRow = compression == 0 ? rb : 2 * ((rb + 127) / 128);
    if (r.remaining() / minRow / rows < static_cast<size_t>(needed))
        return result::kTruncated;
    std::vector<std::vector<uint8_t>> planes(static_cast<size_t>(needed));
    std::vector<uint8_t> raw(rb);
    bool truncated = false;
    try {
        for (auto& p : planes)
            p.assign(w * rows, 0);
    } catch (const std::bad_alloc&) {
        return result::kNoMemory;
    }

    if (compression == 0) {
        const size_t base = r.pos();
        for (int c = 0; c < needed; ++c)
            for (size_t y = 0; y < rows; ++y) {
                const size_t at = base + (static_cast<size_t>(c) * rows + y) * rb;
                if (at > bytes.size || rb > bytes.size - at) {
                    truncated = true;
                    std::memset(raw.data(), 0xFF, rb);
                } else {
                    std::memcpy(raw.data(), bytes.data + at, rb);
                }
                toEightBit(h, raw.data(), planes[c].data() + y * w);
            }
    } else {
        // A table of compressed row lengths, one per row of every channel.
        const size_t tableEntries = static_cast<size_t>(h.channels) * rows;
        if (!r.has(tableEntries * 2))
            return result::kTruncated;
        const uint8_t* table = r.here();
        size_t at = r.pos() + tableEntries * 2;
        for (int c = 0; c < needed; ++c)
            for (size_t y = 0; y < rows; ++y) {
                const size_t entry = static_cast<size_t>(c) * rows + y;
                const size_t len =
                    static_cast<size_t>(table[2 * entry] << 8 | table[2 * entry + 1]);
                bool complete = false;
                std::memset(raw.data(), 0xFF, rb);
                if (at < bytes.size)
                    packbits::decode(bytes.data + at, std::min(len, bytes.size - at), raw.data(),
                                     rb, &complete);
                if (!complete)
                    truncated = true;
                at += len;
                toEightBit(h, raw.data(), planes[c].data() + y * w);
            }
    }

    rc = out.create(h.width, h.height);
    if (rc != result::kSuccess)
        return rc;
    out.setSourceBitsPerPixel(h.depth * h.channels);
    if (!h.palette.empty())
        out.setPalette(h.palette);
    for (size_t y = 0; y < rows; ++y) {
        uint8_t* dst = out.row(static_cast<int>(y));
        for (size_t x = 0; x < w; ++x, dst += 3) {
            const size_t i = y * w + x;
            switch (h.mode) {
            case Rgb:
                dst[0] = planes[2][i];
                dst[1] = planes[1][i];
                dst[2] = planes[0][i];
                break;
            case Cmyk: {
                // Stored inverted: 255 means no ink.
                const unsigned k = planes[3][i];
                dst[0] = static_cast<uint8_t>((planes[2][i] * k + 127) / 255);
                dst[1] = static_cast<uint8_t>((planes[1][i] * k + 127) / 255);
                dst[2] = static_cast<uint8_t>((planes[0][i] * k + 127) / 255);
                break;
            }
            case Indexed: {
                const uint32_t c = planes[0][i] < h.palette.size() ? h.palette[planes[0][i]] : 0;
                dst[0] = uint8_t(c);
                dst[1] = uint8_t(c >> 8);
                dst[2] = uint8_t(c >> 16);
                break;
            }
            case Lab:
                labToBgr(planes[0][i], planes[1][i], planes[2][i], dst);
                break;
            default: // bitmap, grey, duotone, multichannel: the first channel as grey
                dst[0] = dst[1] = dst[2] = planes[0][i];
            }
        }
    }
    if (truncated)
        return result::kTruncated;
    if (options.onRows) {
        rc = options.onRows(out, 0, out.height(), 0);
        if (rc < 1)
            return rc;
    }
    return result::kSuccess;
}

namespace {
void put16(std::vector<uint8_t>& o, unsigned v) {
    o.push_back(uint8_t(v >> 8));
    o.push_back(uint8_t(v));
}
void put32(std::vector<uint8_t>& o, uint32_t v) {
    put16(o, v >> 16);
    put16(o, v & 0xFFFF);
}
} // namespace

int encode(const Bitmap& bitmap, std::vector<uint8_t>& out) {
    if (!bitmap.isAllocated())
        return result::kNoBitmap;
    if (bitmap.width() > 30000 || bitmap.height() > 30000)
        return result::kTooLarge;
    out.assign({'8', 'B', 'P', 'S'});
    put16(out, 1);
    out.insert(out.end(), 6, 0);
    put16(out, 3);
    put32(out, static_cast<uint32_t>(bitmap.height()));
    put32(out, static_cast<uint32_t>(bitmap.width()));
    put16(out, 8);
    put16(out, Rgb);
    put32(out, 0); // colour mode data
    put32(out, 0); // image resources
    put32(out, 0); // layers and masks
    put16(out, 1); // PackBits

    const int w = bitmap.width(), h = bitmap.height();
    std::vector<std::vector<uint8_t>> packed(static_cast<size_t>(3 * h));
    std::vector<uint8_t> line(static_cast<size_t>(w));
    for (int c = 0; c < 3; ++c)
        for (int y = 0; y < h; ++y) {
            const uint8_t* src = bitmap.row(y);
            for (int x = 0; x < w; ++x)
                line[x] = src[x * 3 + (2 - c)]; // R, G, B planes from B-G-R pixels
            packbits::encode(line.data(), line.size(), packed[static_cast<size_t>(c * h + y)]);
        }
    for (const auto& p : packed) {
        if (p.size() > 0xFFFF)
            return result::kTooLarge;
        put16(out, static_cast<unsigned>(p.size()));
    }
    for (const auto& p : packed)
        out.insert(out.end(), p.begin(), p.end());
    return result::kSuccess;
}

} // namespace kamelo::imaging::psdcodec
