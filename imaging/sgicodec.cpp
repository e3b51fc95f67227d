#include "sgicodec.h"

#include "bitmap.h"
#include "byteorder.h"
#include "result.h"

#include <cstring>

namespace kamelo::imaging::sgicodec {

namespace {

struct Header {
    bool rle = false;
    int bpc = 1;
    int width = 0, height = 0, channels = 1;
};

int readHeader(ByteReader& r, Header& h) {
    if (r.be16() != 474)
        return result::kUnknownFormat;
    const uint8_t storage = r.u8();
    const uint8_t bpc = r.u8();
    const uint16_t dimension = r.be16();
    const uint16_t xs = r.be16(), ys = r.be16(), zs = r.be16();
    if (!r.ok() || r.size() < 512)
        return result::kTruncated;
    if (storage > 1 || (bpc != 1 && bpc != 2) || dimension < 1 || dimension > 3)
        return result::kCorruptData;
    h.rle = storage == 1;
    h.bpc = bpc;
    h.width = xs;
    h.height = dimension >= 2 ? ys : 1;
    h.channels = dimension == 3 ? zs : 1;
    if (h.width < 1 || h.height < 1 || h.channels < 1)
        return result::kCorruptData;
    // Grey, grey and alpha, RGB and RGBA: writers of the format store no
    // more channels, and 65,535 of them is a forged header.
    if (h.channels > 4)
        return result::kUnsupported;
    return result::kSuccess;
}

// One run-length row into `out` (width samples of bpc bytes, kept as 8 bits).
bool unpackRow(const uint8_t* data, size_t size, size_t offset, int bpc, uint8_t* out, int width) {
    size_t at = offset;
    int x = 0;
    auto sample = [&](size_t pos) -> int {
        return bpc == 1 ? data[pos] : data[pos]; // high byte of a 16-bit sample
    };
    while (x < width) {
        if (at + bpc > size)
            return false;
        const int count = (bpc == 1 ? data[at] : data[at + 1]) & 0x7F;
        const bool literal = ((bpc == 1 ? data[at] : data[at + 1]) & 0x80) != 0;
        at += bpc;
        if (count == 0)
            break;
        if (literal) {
            if (at + size_t(count) * bpc > size)
                return false;
            for (int i = 0; i < count && x < width; ++i)
                out[x++] = static_cast<uint8_t>(sample(at + size_t(i) * bpc));
            at += size_t(count) * bpc;
        } else {
            if (at + bpc > size)
                return false;
            const uint8_t v = static_cast<uint8_t>(sample(at));
            at += bpc;
            for (int i = 0; i < count && x < width; ++i)
                out[x++] = v;
        }
    }
    return x == width;
}

} // namespace

int readInfo(ByteView bytes, FileInfo& fi) {
    ByteReader r(bytes.data, bytes.size);
    Header h;
    const int rc = readHeader(r, h);
    if (rc < 1)
        return rc;
    fi.format = PictureFormat::Sgi;
    fi.width = h.width;
    fi.height = h.height;
    fi.bitsPerPixel = 8 * h.bpc * h.channels;
    fi.compression = h.rle ? "RLE" : "없음";
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
    const int used = std::min(h.channels, 4);
    const size_t w = static_cast<size_t>(h.width), rows = static_cast<size_t>(h.height);
    const size_t rowCount = rows * static_cast<size_t>(h.channels);
    if (h.rle) {
        if (bytes.size < 512 || (bytes.size - 512) / 8 < rowCount)
            return result::kTruncated;
    } else if ((bytes.size - 512) / (w * h.bpc) < rowCount) {
        return result::kTruncated;
    }
    std::vector<std::vector<uint8_t>> planes(static_cast<size_t>(used),
                                             std::vector<uint8_t>(w * rows));
    for (int c = 0; c < used; ++c)
        for (size_t y = 0; y < rows; ++y) {
            uint8_t* dst = planes[c].data() + y * w;
            const size_t index = static_cast<size_t>(c) * rows + y;
            if (h.rle) {
                ByteReader t(bytes.data, bytes.size);
                t.seek(512 + index * 4);
                const uint32_t offset = t.be32();
                if (!t.ok() || !unpackRow(bytes.data, bytes.size, offset, h.bpc, dst, h.width))
                    return result::kCorruptData;
            } else {
                const uint8_t* src = bytes.data + 512 + index * w * h.bpc;
                for (size_t x = 0; x < w; ++x)
                    dst[x] = src[x * h.bpc]; // high byte of 16-bit samples
            }
        }

    rc = out.create(h.width, h.height);
    if (rc != result::kSuccess)
        return rc;
    out.setSourceBitsPerPixel(8 * h.bpc * h.channels);
    for (size_t y = 0; y < rows; ++y) {
        const size_t srcRow = (rows - 1 - y) * w; // stored bottom-up
        uint8_t* dst = out.row(static_cast<int>(y));
        for (size_t x = 0; x < w; ++x, dst += 3) {
            const size_t i = srcRow + x;
            unsigned rr, gg, bb, a = 255;
            if (used >= 3) {
                rr = planes[0][i];
                gg = planes[1][i];
                bb = planes[2][i];
                if (used == 4)
                    a = planes[3][i];
            } else {
                rr = gg = bb = planes[0][i];
                if (used == 2)
                    a = planes[1][i];
            }
            dst[0] = overWhite(bb, a);
            dst[1] = overWhite(gg, a);
            dst[2] = overWhite(rr, a);
        }
    }
    if (options.onRows) {
        rc = options.onRows(out, 0, out.height(), 0);
        if (rc < 1)
            return rc;
    }
    return result::kSuccess;
}

} // namespace kamelo::imaging::sgicodec
