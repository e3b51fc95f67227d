#include "imaging/large/jpegreader.h"

#include "imaging/core/filebytes.h"
#include "imaging/large/jpegsupport.h"
#include "imaging/large/reducer.h"
#include "imaging/memorybudget.h"
#include "imaging/plausibility.h"
#include "imaging/result.h"

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <deque>
#include <jerror.h>
#include <jpeglib.h>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace kamelo::imaging::large {

namespace {

// A progressive file's coefficients: 2 bytes a sample, so a 4:2:0 picture
// of about 250 megapixels at most.
constexpr size_t kCoefficientBudget = size_t(768) << 20;

// Columns read beyond a region on either side (see decodeJpeg).
constexpr int kCropMargin = 8;

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

namespace {

// What identifies the file a decoder reads: a parked one is of no use once
// the file was replaced or written again.
struct FileKey {
    uint64_t device = 0, inode = 0, size = 0;
    int64_t seconds = 0, nanoseconds = 0;
    bool operator==(const FileKey&) const = default;
};

FileKey keyOf(std::FILE* file) {
    struct stat st {};
    if (::fstat(::fileno(file), &st) != 0)
        return {};
    return {uint64_t(st.st_dev), uint64_t(st.st_ino), uint64_t(st.st_size),
            int64_t(st.st_mtim.tv_sec), int64_t(st.st_mtim.tv_nsec)};
}

// Decoders of sequential files left where their last region ended, with its
// columns cropped: the next region below in those columns carries on from
// there instead of reading all the compressed data above it again (the
// file has no restart points to start from elsewhere). Panning down a huge
// picture asks for exactly that.
struct Parked {
    std::unique_ptr<Session> session;
    FileKey key;
    int scale = 1;
    JDIMENSION cropX = 0, cropWidth = 0;
    int nextRow = 0; // the first row of the level not read yet
};
constexpr size_t kMaxParked = 3;
std::mutex parkedMutex;
std::deque<Parked> parked; // the last parked at the back
std::atomic<int> carriedOn{0};

// A parked decoder of the file at scale whose columns cover xs and which
// has not passed row first yet, taken out of the lot.
std::optional<Parked> takeParked(const FileKey& key, int scale, const Span& xs, int first) {
    const std::lock_guard<std::mutex> lock(parkedMutex);
    for (auto it = parked.rbegin(); it != parked.rend(); ++it)
        if (it->key == key && it->scale == scale && int(it->cropX) <= xs.first &&
            int(it->cropX + it->cropWidth) >= xs.last && it->nextRow <= first) {
            Parked p = std::move(*it);
            parked.erase(std::next(it).base());
            return p;
        }
    return std::nullopt;
}

void park(Parked p) {
    const std::lock_guard<std::mutex> lock(parkedMutex);
    parked.push_back(std::move(p));
    while (parked.size() > kMaxParked)
        parked.pop_front();
}

// Reads the region's rows from where the decoder stands (row `at` of the
// level) into reducer; the decoder is of no further use unless this
// returns kSuccess.
int readRegion(Session& s, int at, const Span& ys, int offset, RowReducer& reducer) {
    jpeg_decompress_struct& cinfo = s.cinfo;
    if (setjmp(s.err.jump))
        return s.err.failure;
    const int skip = ys.first - at;
    if (skip > 0 && jpeg_skip_scanlines(&cinfo, static_cast<JDIMENSION>(skip)) != JDIMENSION(skip))
        return result::kTruncated;
    const bool cmyk = cinfo.out_color_space == JCS_CMYK;
    s.row.resize(size_t(cinfo.output_width) * size_t(cinfo.output_components));
    if (cmyk)
        s.bgr.resize(size_t(cinfo.output_width) * 3);
    for (int y = 0; y < ys.last - ys.first; ++y) {
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
    return s.err.sawEndOfFile ? result::kTruncated : result::kSuccess;
}

} // namespace

int decodeJpeg(const std::string& path, const Request& request, Bitmap& out) {
    auto fresh = std::make_unique<Session>();
    if (const int rc = fresh->open(path); rc != result::kSuccess)
        return rc;
    // Whatever must be let go after a jump back from the library is made
    // before the jump point.
    RowReducer reducer;
    std::optional<Parked> p;
    Session* const opened = fresh.get();
    jpeg_decompress_struct& header = fresh->cinfo;
    if (setjmp(fresh->err.jump))
        return opened->err.failure;
    jpeg_create_decompress(&header);
    jpeg_stdio_src(&header, fresh->file);
    jpeg_read_header(&header, TRUE);
    const int width = static_cast<int>(header.image_width);
    const int height = static_cast<int>(header.image_height);
    if (const int rc = plausibility::checkDeclared(width, height, fresh->fileBytes,
                                                   plausibility::kJpegPixelsPerByte);
        rc != result::kSuccess)
        return rc;
    if (!fits(request, width, height))
        return result::kInvalidParameter;
    // A progressive file is gathered whole as coefficients before any row
    // comes out; beyond the budget the library is told to fail, not grow.
    const size_t budget = std::min(kCoefficientBudget, memorybudget::hugeBudget());
    const bool sequential = !jpeg_has_multiple_scans(&header);
    if (!sequential && coefficientBytes(header) > budget)
        return result::kTooLarge;
    header.mem->max_memory_to_use = static_cast<long>(budget);

    const int scale = dctScaleFor(header, request);
    header.scale_num = 1;
    header.scale_denom = static_cast<unsigned>(scale);
    const bool cmyk = header.jpeg_color_space == JCS_CMYK || header.jpeg_color_space == JCS_YCCK;
    header.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_calc_output_dimensions(&header);
    const int levelWidth = static_cast<int>(header.output_width);
    const int levelHeight = static_cast<int>(header.output_height);
    Span xs, ys;
    if (const int rc =
            startRegion(request, width, height, levelWidth, levelHeight, reducer, out, xs, ys);
        rc != result::kSuccess)
        return rc;

    const FileKey key = keyOf(fresh->file);
    if (sequential)
        p = takeParked(key, scale, xs, ys.first);
    if (p) {
        carriedOn.fetch_add(1);
        fresh.reset();
    } else {
        p = Parked{std::move(fresh), key, scale, 0, 0, 0};
        jpeg_decompress_struct& cinfo = p->session->cinfo;
        jpeg_start_decompress(&cinfo);
        // The columns come out from an iMCU boundary at or left of the
        // region's. The outermost columns of a crop are upsampled without
        // their neighbours' colour, so a few more are read on either side:
        // the region's own edges come out as in the whole picture (no seams
        // between tiles).
        const int first = std::max(0, xs.first - kCropMargin);
        const int last = std::min(static_cast<int>(cinfo.output_width), xs.last + kCropMargin);
        p->cropX = static_cast<JDIMENSION>(first);
        p->cropWidth = static_cast<JDIMENSION>(last - first);
        if (p->cropWidth < cinfo.output_width)
            jpeg_crop_scanline(&cinfo, &p->cropX, &p->cropWidth);
        else
            p->cropX = 0, p->cropWidth = cinfo.output_width;
    }
    Session& s = *p->session;
    const int rc = readRegion(s, p->nextRow, ys, xs.first - static_cast<int>(p->cropX), reducer);
    if (rc != result::kSuccess)
        return rc;
    reducer.finish();
    if (reducer.stopped())
        return result::kAborted;
    out.setSourceBitsPerPixel(s.cinfo.num_components * 8);
    if (s.cinfo.saw_JFIF_marker && s.cinfo.X_density > 0 && s.cinfo.Y_density > 0) {
        if (s.cinfo.density_unit == 1)
            out.setResolution(s.cinfo.X_density, s.cinfo.Y_density);
        else if (s.cinfo.density_unit == 2)
            out.setResolution(static_cast<int>(s.cinfo.X_density * 2.54 + 0.5),
                              static_cast<int>(s.cinfo.Y_density * 2.54 + 0.5));
    }
    // Rows below the region are not decoded now; the decoder waits for the
    // next region below, or ends here.
    p->nextRow = ys.last;
    if (sequential && ys.last < levelHeight)
        park(std::move(*p));
    return result::kSuccess;
}

int carriedOnDecodes() {
    return carriedOn.load();
}

void forgetParkedDecoders() {
    std::deque<Parked> gone;
    const std::lock_guard<std::mutex> lock(parkedMutex);
    gone.swap(parked);
}

} // namespace kamelo::imaging::large
