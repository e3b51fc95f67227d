#include "pngcodec.h"

#include "bitmap.h"
#include "plausibility.h"
#include "result.h"

#include <algorithm>
#include <cstring>
#include <png.h>

namespace kamelo::imaging::pngcodec {

namespace {

struct Reader {
    ByteView bytes;
    size_t pos = 0;
    bool truncated = false;
};

void readData(png_structp png, png_bytep out, png_size_t length) {
    auto* r = static_cast<Reader*>(png_get_io_ptr(png));
    if (length > r->bytes.size - r->pos) {
        r->truncated = true;
        png_error(png, "truncated");
    }
    std::memcpy(out, r->bytes.data + r->pos, length);
    r->pos += length;
}

void onError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void onWarning(png_structp, png_const_charp) {}

struct ReadSession {
    png_structp png = nullptr;
    png_infop info = nullptr;
    Reader reader;
    ~ReadSession() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }

    bool open(ByteView bytes) {
        reader.bytes = bytes;
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
        if (!png)
            return false;
        info = png_create_info_struct(png);
        if (!info)
            return false;
        png_set_read_fn(png, &reader, readData);
        return true;
    }
};

const char* compressionName(int interlace) {
    return interlace == PNG_INTERLACE_ADAM7 ? "Deflate (interlaced)" : "Deflate";
}

void resolutionOf(png_structp png, png_infop info, int& x, int& y) {
    png_uint_32 rx = 0, ry = 0;
    int unit = 0;
    x = y = 96;
    if (png_get_pHYs(png, info, &rx, &ry, &unit) && unit == PNG_RESOLUTION_METER && rx && ry) {
        x = static_cast<int>(rx * 0.0254 + 0.5);
        y = static_cast<int>(ry * 0.0254 + 0.5);
    }
}

} // namespace

int readInfo(ByteView bytes, FileInfo& fi) {
    ReadSession s;
    if (!s.open(bytes))
        return result::kNoMemory;
    if (setjmp(png_jmpbuf(s.png)))
        return s.reader.truncated ? result::kTruncated : result::kCorruptData;
    png_read_info(s.png, s.info);
    fi.format = PictureFormat::Png;
    fi.width = static_cast<int>(png_get_image_width(s.png, s.info));
    fi.height = static_cast<int>(png_get_image_height(s.png, s.info));
    const int depth = png_get_bit_depth(s.png, s.info);
    const int type = png_get_color_type(s.png, s.info);
    fi.bitsPerPixel =
        type == PNG_COLOR_TYPE_PALETTE ? depth : depth * png_get_channels(s.png, s.info);
    fi.compression = compressionName(png_get_interlace_type(s.png, s.info));
    fi.pageCount = 1;
    resolutionOf(s.png, s.info, fi.xResolution, fi.yResolution);
    return result::kSuccess;
}

int decode(ByteView bytes, const LoadOptions& options, Bitmap& out) {
    ReadSession s;
    if (!s.open(bytes))
        return result::kNoMemory;
    // Declared before setjmp: a longjmp must not skip their destructors.
    std::vector<uint8_t> rgba; // one row, or the whole picture when interlaced
    std::vector<uint32_t> palette;
    if (setjmp(png_jmpbuf(s.png)))
        return s.reader.truncated ? result::kTruncated : result::kCorruptData;
    png_set_user_limits(s.png, 1u << 20, 1u << 20);
    png_read_info(s.png, s.info);
    const int width = static_cast<int>(png_get_image_width(s.png, s.info));
    const int height = static_cast<int>(png_get_image_height(s.png, s.info));
    const int depth = png_get_bit_depth(s.png, s.info);
    const int type = png_get_color_type(s.png, s.info);
    const int sourceBits =
        type == PNG_COLOR_TYPE_PALETTE ? depth : depth * png_get_channels(s.png, s.info);
    // A bomb is refused as such before a real picture too large for one
    // bitmap is (the latter is read scaled, imaging/large/).
    if (const int rc =
            plausibility::checkDeclared(width, height, bytes.size, plausibility::kPngPixelsPerByte);
        rc != result::kSuccess)
        return rc;
    if (int64_t(width) * height > kMaxPixels)
        return result::kTooLarge;

    png_colorp pal = nullptr;
    int palCount = 0;
    if (type == PNG_COLOR_TYPE_PALETTE && png_get_PLTE(s.png, s.info, &pal, &palCount))
        for (int i = 0; i < palCount; ++i)
            palette.push_back(uint32_t(pal[i].red) << 16 | uint32_t(pal[i].green) << 8 |
                              pal[i].blue);

    // Everything becomes 8-bit; a picture without any transparency is read
    // straight into the bitmap's blue-green-red rows, others as RGBA whose
    // alpha is then laid onto white.
    const bool opaque =
        !(type & PNG_COLOR_MASK_ALPHA) && !png_get_valid(s.png, s.info, PNG_INFO_tRNS);
    png_set_expand(s.png);
    png_set_scale_16(s.png);
    png_set_gray_to_rgb(s.png);
    if (opaque)
        png_set_bgr(s.png);
    else
        png_set_add_alpha(s.png, 0xFF, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);

    // A picture read row by row in one pass sets every pixel itself.
    int rc = passes <= 1 ? out.allocate(width, height) : out.create(width, height);
    if (rc != result::kSuccess)
        return rc;
    out.setSourceBitsPerPixel(sourceBits);
    out.setPalette(std::move(palette));
    int xr, yr;
    resolutionOf(s.png, s.info, xr, yr);
    out.setResolution(xr, yr);

    const size_t rowBytes = static_cast<size_t>(width) * (opaque ? 3 : 4);
    const int band = std::max(1, options.bandRows);
    if (passes <= 1) {
        if (!opaque)
            rgba.resize(rowBytes);
        for (int y = 0; y < height; ++y) {
            if (opaque) {
                png_read_row(s.png, out.row(y), nullptr);
            } else {
                png_read_row(s.png, rgba.data(), nullptr);
                rgbaRowToBgr(rgba.data(), out.row(y), width);
            }
            if (options.onRows && ((y + 1) % band == 0 || y + 1 == height)) {
                const int first = y - (y % band);
                rc = options.onRows(out, first, y - first + 1, 0);
                if (rc < 1)
                    return rc;
            }
        }
    } else if (opaque) {
        // Adam7: each pass refines the whole picture, in place.
        for (int p = 0; p < passes; ++p) {
            for (int y = 0; y < height; ++y)
                png_read_row(s.png, out.row(y), nullptr);
            if (options.onRows && (options.reportPasses || p + 1 == passes)) {
                rc = options.onRows(out, 0, height, p + 1 == passes ? 0 : p + 1);
                if (rc < 1)
                    return rc;
            }
        }
    } else {
        rgba.assign(rowBytes * height, 0xFF);
        for (int p = 0; p < passes; ++p) {
            for (int y = 0; y < height; ++y)
                png_read_row(s.png, rgba.data() + rowBytes * y, nullptr);
            if (options.onRows || p + 1 == passes) {
                for (int y = 0; y < height; ++y)
                    rgbaRowToBgr(rgba.data() + rowBytes * y, out.row(y), width);
            }
            if (options.onRows && (options.reportPasses || p + 1 == passes)) {
                rc = options.onRows(out, 0, height, p + 1 == passes ? 0 : p + 1);
                if (rc < 1)
                    return rc;
            }
        }
    }
    png_read_end(s.png, nullptr);
    return result::kSuccess;
}

} // namespace kamelo::imaging::pngcodec
