#include "headerinfo.h"

#include "byteorder.h"

namespace kamelo::imaging {

namespace {

void bmp(ByteReader r, FileInfo& fi) {
    r.seek(14);
    const uint32_t headerSize = r.le32();
    uint16_t bits;
    uint32_t compression = 0;
    if (headerSize == 12) { // OS/2 core header
        r.skip(6);
        bits = r.le16();
    } else {
        r.skip(10);
        bits = r.le16();
        compression = r.le32();
    }
    if (!r.ok())
        return;
    fi.bitsPerPixel = bits;
    switch (compression) {
    case 1:
        fi.compression = "RLE8";
        break;
    case 2:
        fi.compression = "RLE4";
        break;
    case 3:
    case 6:
        fi.compression = "Bitfields";
        break;
    default:
        fi.compression = "없음";
    }
}

void pcxAt(ByteReader r, size_t at, FileInfo& fi) {
    r.seek(at + 3);
    const uint8_t bits = r.u8();
    r.seek(at + 65);
    const uint8_t planes = r.u8();
    if (r.ok()) {
        fi.bitsPerPixel = bits * planes;
        fi.compression = "RLE";
    }
}

void dcx(ByteReader r, FileInfo& fi) {
    r.seek(4);
    const uint32_t first = r.le32();
    int pages = first ? 1 : 0;
    // Up to 1023 page offsets, ended by a zero.
    for (int i = 1; i < 1023 && r.ok(); ++i) {
        if (r.le32() == 0)
            break;
        ++pages;
    }
    fi.pageCount = pages > 0 ? pages : 1;
    if (first)
        pcxAt(r, first, fi);
}

void sun(ByteReader r, FileInfo& fi) {
    r.seek(12);
    const uint32_t depth = r.be32();
    r.skip(4);
    const uint32_t type = r.be32();
    if (r.ok()) {
        fi.bitsPerPixel = static_cast<int>(depth);
        fi.compression = type == 2 ? "RLE" : "없음";
    }
}

void sgi(ByteReader r, FileInfo& fi) {
    r.seek(2);
    const uint8_t storage = r.u8();
    const uint8_t bpc = r.u8();
    r.seek(10);
    const uint16_t channels = r.be16();
    if (r.ok()) {
        fi.bitsPerPixel = 8 * bpc * std::max<int>(1, channels);
        fi.compression = storage == 1 ? "RLE" : "없음";
    }
}

void tga(ByteReader r, FileInfo& fi) {
    r.seek(2);
    const uint8_t type = r.u8();
    r.seek(16);
    const uint8_t depth = r.u8();
    if (r.ok()) {
        fi.bitsPerPixel = depth;
        fi.compression = type >= 9 ? "RLE" : "없음";
    }
}

void icon(ByteReader r, FileInfo& fi, bool cursor) {
    r.seek(4);
    const uint16_t count = r.le16();
    fi.pageCount = count > 0 ? count : 1;
    const uint16_t colours = r.u8();
    r.skip(3);
    r.skip(2);
    const uint16_t bits = r.le16();
    r.skip(4);
    const uint32_t offset = r.le32();
    if (!r.ok())
        return;
    r.seek(offset);
    if (r.has(8) && r.here()[0] == 0x89 && r.here()[1] == 'P') {
        fi.compression = "PNG";
        r.seek(offset + 24);
        const uint8_t depth = r.u8();
        const uint8_t type = r.u8();
        const int channels = type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1;
        if (r.ok())
            fi.bitsPerPixel = type == 3 ? depth : depth * channels;
        return;
    }
    fi.compression = "없음";
    // Cursors keep the hot spot where icons keep planes and bit count.
    if (bits && !cursor) {
        fi.bitsPerPixel = bits;
        return;
    }
    // Directories that leave the bit count out: ask the bitmap header.
    r.seek(offset + 14);
    const uint16_t headerBits = r.le16();
    if (r.ok() && headerBits)
        fi.bitsPerPixel = headerBits;
    else if (colours)
        fi.bitsPerPixel = colours <= 2 ? 1 : colours <= 16 ? 4 : 8;
}

} // namespace

void fillHeaderInfo(ByteView bytes, PictureFormat format, FileInfo& fi) {
    ByteReader r(bytes.data, bytes.size);
    fi.bitsPerPixel = 24;
    fi.compression = "없음";
    switch (format) {
    case PictureFormat::Bmp:
        bmp(r, fi);
        break;
    case PictureFormat::Pcx:
        pcxAt(r, 0, fi);
        break;
    case PictureFormat::Dcx:
        dcx(r, fi);
        break;
    case PictureFormat::Ras:
        sun(r, fi);
        break;
    case PictureFormat::Sgi:
        sgi(r, fi);
        break;
    case PictureFormat::Tga:
        tga(r, fi);
        break;
    case PictureFormat::Ico:
    case PictureFormat::Cur:
        icon(r, fi, format == PictureFormat::Cur);
        break;
    case PictureFormat::Pict:
        fi.compression = "PackBits";
        break;
    case PictureFormat::Pcd:
        fi.compression = "Photo CD";
        break;
    default:
        break;
    }
}

} // namespace kamelo::imaging
