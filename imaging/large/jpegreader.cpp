#include "imaging/large/jpegreader.h"

#include "imaging/core/filebytes.h"
#include "imaging/large/jpegsupport.h"
#include "imaging/large/reducer.h"
#include "imaging/memorybudget.h"
#include "imaging/plausibility.h"
#include "imaging/result.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>
#include <sys/stat.h>
#include <vector>

namespace kamelo::imaging::large {

namespace {

// A progressive file's coefficients: 2 bytes a sample, so a 4:2:0 picture
// of about 250 megapixels at most.
constexpr size_t kCoefficientBudget = size_t(768) << 20;

// One decompressor over one open file; everything it owns goes with it.
struct Session {
    std::FILE* file = nullptr;
    size_t fileBytes = 0;
    jpeg_decompress_struct cinfo{};
    JpegErrors err;
    std::vector<uint8_t> row, bgr;

    ~Session() {
        jpeg_destroy_decompress(&cinfo);
        if (file)
            std::fclose(file);
    }

    int open(const std::string& path) {
        int code = result::kFileRead;
        file = openRegularStream(path, &code);
        if (!file)
            return code;
        struct stat st {};
        if (::fstat(::fileno(file), &st) != 0)
            return result::kFileRead;
        fileBytes = static_cast<size_t>(st.st_size);
        installErrors(cinfo, err);
        return result::kSuccess;
    }
};

// The largest of 8, 4, 2, 1 whose scaled region still covers the target.
int dctScaleFor(const jpeg_decompress_struct& cinfo, const Request& r) {
    const int w = static_cast<int>(cinfo.image_width), h = static_cast<int>(cinfo.image_height);
    for (int s : {8, 4, 2}) {
        const int sw = (w + s - 1) / s, sh = (h + s - 1) / s;
        const Span x = scaledSpan(r.region.x, r.region.width, w, sw);
        const Span y = scaledSpan(r.region.y, r.region.height, h, sh);
        if (x.last - x.first >= r.outWidth && y.last - y.first >= r.outHeight)
            return s;
    }
    return 1;
}

} // namespace

int jpegSize(const std::string& path, int& width, int& height) {
    Session s;
    if (const int rc = s.open(path); rc != result::kSuccess)
        return rc;
    if (setjmp(s.err.jump))
        return s.err.failure;
    jpeg_create_decompress(&s.cinfo);
    jpeg_stdio_src(&s.cinfo, s.file);
    jpeg_read_header(&s.cinfo, TRUE);
    width = static_cast<int>(s.cinfo.image_width);
    height = static_cast<int>(s.cinfo.image_height);
    return width > 0 && height > 0 ? result::kSuccess : result::kCorruptData;
}

int decodeJpeg(const std::string& path, const Request& request, Bitmap& out) {
    Session s;
    if (const int rc = s.open(path); rc != result::kSuccess)
        return rc;
    RowReducer reducer;
    if (setjmp(s.err.jump))
        return s.err.failure;
    jpeg_create_decompress(&s.cinfo);
    jpeg_stdio_src(&s.cinfo, s.file);
    jpeg_read_header(&s.cinfo, TRUE);
    jpeg_decompress_struct& cinfo = s.cinfo;
    const int width = static_cast<int>(cinfo.image_width);
    const int height = static_cast<int>(cinfo.image_height);
    if (const int rc = plausibility::checkDeclared(width, height, s.fileBytes,
                                                   plausibility::kJpegPixelsPerByte);
        rc != result::kSuccess)
        return rc;
    if (!fits(request, width, height))
        return result::kInvalidParameter;
    // A progressive file is gathered whole as coefficients before any row
    // comes out; beyond the budget the library is told to fail, not grow.
    const size_t budget = std::min(kCoefficientBudget, memorybudget::hugeBudget());
    if (jpeg_has_multiple_scans(&cinfo) && coefficientBytes(cinfo) > budget)
        return result::kTooLarge;
    cinfo.mem->max_memory_to_use = static_cast<long>(budget);

    const int scale = dctScaleFor(cinfo, request);
    cinfo.scale_num = 1;
    cinfo.scale_denom = static_cast<unsigned>(scale);
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    const int levelWidth = static_cast<int>(cinfo.output_width);
    const int levelHeight = static_cast<int>(cinfo.output_height);
    const Span xs = scaledSpan(request.region.x, request.region.width, width, levelWidth);
    const Span ys = scaledSpan(request.region.y, request.region.height, height, levelHeight);

    // The columns come out from an iMCU boundary at or left of the region's.
    JDIMENSION cropX = static_cast<JDIMENSION>(xs.first);
    JDIMENSION cropWidth = static_cast<JDIMENSION>(xs.last - xs.first);
    if (cropWidth < cinfo.output_width)
        jpeg_crop_scanline(&cinfo, &cropX, &cropWidth);
    const int offset = xs.first - static_cast<int>(cropX);
    if (ys.first > 0 &&
        jpeg_skip_scanlines(&cinfo, static_cast<JDIMENSION>(ys.first)) != JDIMENSION(ys.first))
        return result::kTruncated;

    const int regionWidth = xs.last - xs.first;
    const int regionHeight = ys.last - ys.first;
    if (const int rc =
            reducer.start(regionWidth, regionHeight, request.outWidth, request.outHeight, out);
        rc != result::kSuccess)
        return rc;
    reducer.setWatch(request.watch);
    s.row.resize(size_t(cinfo.output_width) * size_t(cinfo.output_components));
    if (cmyk)
        s.bgr.resize(size_t(cinfo.output_width) * 3);
    for (int y = 0; y < regionHeight; ++y) {
        JSAMPROW r = s.row.data();
        if (jpeg_read_scanlines(&cinfo, &r, 1) != 1)
            return result::kCorruptData;
        const uint8_t* bgr = s.row.data();
        if (cmyk) {
            cmykRowToBgr(s.row.data(), s.bgr.data(), static_cast<int>(cinfo.output_width),
                         cinfo.saw_Adobe_marker);
            bgr = s.bgr.data();
        }
        reducer.addRow(y, bgr + size_t(offset) * 3);
        if (reducer.stopped())
            return result::kAborted;
    }
    reducer.finish();
    if (reducer.stopped())
        return result::kAborted;
    out.setSourceBitsPerPixel(cinfo.num_components * 8);
    if (cinfo.saw_JFIF_marker && cinfo.X_density > 0 && cinfo.Y_density > 0) {
        if (cinfo.density_unit == 1)
            out.setResolution(cinfo.X_density, cinfo.Y_density);
        else if (cinfo.density_unit == 2)
            out.setResolution(static_cast<int>(cinfo.X_density * 2.54 + 0.5),
                              static_cast<int>(cinfo.Y_density * 2.54 + 0.5));
    }
    // Rows below the region are never decoded: the session ends here.
    jpeg_abort_decompress(&cinfo);
    return s.err.sawEndOfFile ? result::kTruncated : result::kSuccess;
}

} // namespace kamelo::imaging::large
