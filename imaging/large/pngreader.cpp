#include "imaging/large/pngreader.h"

#include "imaging/core/filebytes.h"
#include "imaging/large/reducer.h"
#include "imaging/plausibility.h"
#include "imaging/result.h"

#include <algorithm>
#include <cstdio>
#include <png.h>
#include <sys/stat.h>
#include <vector>

namespace kamelo::imaging::large {

namespace {

struct Session {
    std::FILE* file = nullptr;
    size_t fileBytes = 0;
    bool truncated = false;
    png_structp png = nullptr;
    png_infop info = nullptr;

    ~Session() {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        if (file)
            std::fclose(file);
    }

    static void read(png_structp png, png_bytep out, png_size_t length) {
        auto* s = static_cast<Session*>(png_get_io_ptr(png));
        if (std::fread(out, 1, length, s->file) != length) {
            s->truncated = true;
            png_error(png, "truncated");
        }
    }
    static void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
    static void onWarning(png_structp, png_const_charp) {}

    int open(const std::string& path) {
        int code = result::kFileRead;
        file = openRegularStream(path, &code);
        if (!file)
            return code;
        struct stat st {};
        if (::fstat(::fileno(file), &st) != 0)
            return result::kFileRead;
        fileBytes = static_cast<size_t>(st.st_size);
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
        if (!png)
            return result::kNoMemory;
        info = png_create_info_struct(png);
        if (!info)
            return result::kNoMemory;
        png_set_read_fn(png, this, read);
        png_set_user_limits(png, uint32_t(plausibility::kMaxSide),
                            uint32_t(plausibility::kMaxSide));
        return result::kSuccess;
    }
    int failure() const { return truncated ? result::kTruncated : result::kCorruptData; }
};

} // namespace

int pngSize(const std::string& path, int& width, int& height) {
    Session s;
    if (const int rc = s.open(path); rc != result::kSuccess)
        return rc;
    if (setjmp(png_jmpbuf(s.png)))
        return s.failure();
    png_read_info(s.png, s.info);
    width = static_cast<int>(png_get_image_width(s.png, s.info));
    height = static_cast<int>(png_get_image_height(s.png, s.info));
    return result::kSuccess;
}

int decodePng(const std::string& path, const Request& request, Bitmap& out) {
    Session s;
    if (const int rc = s.open(path); rc != result::kSuccess)
        return rc;
    // Declared before setjmp: a longjmp must not skip their destructors.
    RowReducer reducer;
    std::vector<uint8_t> row, bgr;
    if (setjmp(png_jmpbuf(s.png)))
        return s.failure();
    png_read_info(s.png, s.info);
    const int width = static_cast<int>(png_get_image_width(s.png, s.info));
    const int height = static_cast<int>(png_get_image_height(s.png, s.info));
    const int depth = png_get_bit_depth(s.png, s.info);
    const int type = png_get_color_type(s.png, s.info);
    const int sourceBits =
        type == PNG_COLOR_TYPE_PALETTE ? depth : depth * png_get_channels(s.png, s.info);
    if (const int rc = plausibility::checkDeclared(width, height, s.fileBytes,
                                                   plausibility::kPngPixelsPerByte);
        rc != result::kSuccess)
        return rc;
    if (!fits(request, width, height))
        return result::kInvalidParameter;

    const bool opaque =
        !(type & PNG_COLOR_MASK_ALPHA) && !png_get_valid(s.png, s.info, PNG_INFO_tRNS);
    png_set_expand(s.png);
    png_set_scale_16(s.png);
    png_set_gray_to_rgb(s.png);
    if (opaque)
        png_set_bgr(s.png);
    else
        png_set_add_alpha(s.png, 0xFF, PNG_FILLER_AFTER);
    const bool interlaced = png_get_interlace_type(s.png, s.info) == PNG_INTERLACE_ADAM7;
    const int channels = opaque ? 3 : 4;
    const size_t rowBytes = size_t(width) * size_t(channels);

    // An interlaced picture: its first pass when it covers the target, else
    // the whole picture gathered by libpng (only when the budget holds it).
    int levelWidth = width, levelHeight = height;
    bool wholeInterlaced = false;
    if (interlaced) {
        levelWidth = (width + 7) / 8;
        levelHeight = (height + 7) / 8;
        const Span xs = scaledSpan(request.region.x, request.region.width, width, levelWidth);
        const Span ys = scaledSpan(request.region.y, request.region.height, height, levelHeight);
        if (xs.last - xs.first < request.outWidth || ys.last - ys.first < request.outHeight) {
            if (rowBytes * size_t(height) > kWorkBudget)
                return result::kTooLarge;
            wholeInterlaced = true;
            levelWidth = width;
            levelHeight = height;
            png_set_interlace_handling(s.png);
        }
    }
    png_read_update_info(s.png, s.info);
    Span xs, ys;
    if (const int rc =
            startRegion(request, width, height, levelWidth, levelHeight, reducer, out, xs, ys);
        rc != result::kSuccess)
        return rc;
    out.setSourceBitsPerPixel(sourceBits);
    png_uint_32 rx = 0, ry = 0;
    int unit = 0;
    if (png_get_pHYs(s.png, s.info, &rx, &ry, &unit) && unit == PNG_RESOLUTION_METER && rx && ry)
        out.setResolution(static_cast<int>(rx * 0.0254 + 0.5), static_cast<int>(ry * 0.0254 + 0.5));

    bgr.resize(size_t(levelWidth) * 3);
    const auto feed = [&](int y, const uint8_t* pixels) {
        if (y < ys.first || y >= ys.last)
            return;
        if (!opaque) {
            rgbaRowToBgr(pixels, bgr.data(), levelWidth);
            pixels = bgr.data();
        }
        reducer.addRow(y - ys.first, pixels + size_t(xs.first) * 3);
    };
    if (wholeInterlaced) {
        row.resize(rowBytes * size_t(height));
        const int passes = PNG_INTERLACE_ADAM7_PASSES;
        for (int p = 0; p < passes; ++p)
            for (int y = 0; y < height; ++y)
                png_read_row(s.png, row.data() + rowBytes * size_t(y), nullptr);
        for (int y = ys.first; y < ys.last && !reducer.stopped(); ++y)
            feed(y, row.data() + rowBytes * size_t(y));
    } else {
        // Without interlace handling the first pass's rows come first, at
        // their own width.
        row.resize(rowBytes);
        for (int y = 0; y < ys.last && !reducer.stopped(); ++y) {
            png_read_row(s.png, row.data(), nullptr);
            feed(y, row.data());
        }
    }
    reducer.finish();
    return reducer.stopped() ? result::kAborted : result::kSuccess;
}

} // namespace kamelo::imaging::large
