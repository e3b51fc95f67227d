#include "rawsession.h"

#include "imaging/bitmap.h"
#include "imaging/memorybudget.h"
#include "imaging/plausibility.h"
#include "imaging/result.h"
#include "rawcodec.h"
#include "rawifd.h"
#include "rawlibrary.h"

#include <libraw/libraw.h>

#include <algorithm>
#include <atomic>
#include <unistd.h>

namespace kamelo::imaging::rawcodec {

namespace {

// Sensor pixels one byte of a RAW file can describe at most. Lossless
// camera data needs well over a byte per pixel and lossy DNG a few bits; a
// header asking for more pixels than this is forged, and refused before
// LibRaw allocates for it.
constexpr int64_t kRawPixelsPerByte = 32;

thread_local const std::atomic<bool>* currentStop = nullptr;

} // namespace

StopScope::StopScope(const std::atomic<bool>& stop) : previous_(currentStop) {
    currentStop = &stop;
}

StopScope::~StopScope() {
    currentStop = previous_;
}

bool stopAsked() {
    return currentStop && currentStop->load();
}

// What LibRaw's callbacks saw.
struct RawSession::Watch {
    bool stopped = false;
    bool endReached = false;
    bool damaged = false;

    static int progress(void* data, enum LibRaw_progress, int, int) {
        if (!stopAsked())
            return 0;
        static_cast<Watch*>(data)->stopped = true;
        return 1; // LibRaw stops with LIBRAW_CANCELLED_BY_CALLBACK
    }
    static void dataError(void* data, const char*, const int offset) {
        Watch* w = static_cast<Watch*>(data);
        // LibRaw gives -1 when the data ran out, else where it went wrong.
        if (offset < 0)
            w->endReached = true;
        else
            w->damaged = true;
    }
};

RawSession::RawSession() : raw_(std::make_unique<RawLibrary>()), watch_(std::make_unique<Watch>()) {
    raw_->set_progress_handler(&Watch::progress, watch_.get());
    raw_->set_dataerror_handler(&Watch::dataError, watch_.get());
    libraw_output_params_t& p = raw_->imgdata.params;
    const size_t budgetMb = memorybudget::hugeBudget() >> 20;
    p.max_raw_memory_mb = unsigned(std::min<size_t>(budgetMb, LIBRAW_MAX_ALLOC_MB_DEFAULT));
}

RawSession::~RawSession() = default;

int RawSession::open(ByteView bytes) {
    if (!bytes.data || bytes.size == 0)
        return result::kTruncated;
    fileBytes_ = bytes.size;
    if (readLayout(RangeReader(bytes)).libRawOverflows)
        return result::kUnsupported;
    // LibRaw only reads from the buffer.
    return codeOf(raw_->open_buffer(const_cast<uint8_t*>(bytes.data), bytes.size));
}

int RawSession::openFile(const char* path, size_t fileBytes) {
    fileBytes_ = fileBytes;
    int fd = -1;
    if (const int rc = openRegularFile(path, fd); rc < 1)
        return rc;
    const bool overflows = readLayout(RangeReader(fd, fileBytes)).libRawOverflows;
    close(fd);
    if (overflows)
        return result::kUnsupported;
    return codeOf(raw_->open_file(path));
}

int RawSession::checkDevelopment(bool halfSize) const {
    const libraw_image_sizes_t& s = raw_->imgdata.sizes;
    const int64_t rawPixels = int64_t(s.raw_width) * s.raw_height;
    const int64_t pixels = int64_t(s.width) * s.height;
    if (rawPixels <= 0 || pixels <= 0)
        return result::kCorruptData;
    if (rawPixels > kMaxPixels || pixels > kMaxPixels)
        return result::kTooLarge;
    if (!plausibility::plausible(s.raw_width, s.raw_height, fileBytes_, kRawPixelsPerByte))
        return result::kTruncated;
    // LibRaw keeps the sensor data (one value per photosite, or four per
    // pixel for data without a colour filter), a four-value working picture
    // and the 8-bit result beside the output bitmap.
    const bool mosaic = raw_->imgdata.idata.filters != 0 || raw_->imgdata.idata.colors == 1;
    const int64_t working = halfSize ? pixels / 4 : pixels;
    const int64_t bytes = rawPixels * (mosaic ? 2 : 8) + working * 8 + working * 3 * 2;
    if (uint64_t(bytes) > memorybudget::hugeBudget())
        return result::kNoMemory;
    return result::kSuccess;
}

int RawSession::unpack() {
    const int rc = codeOf(raw_->unpack());
    return rc < 1 ? rc : dataErrorCode();
}

int RawSession::unpackPreview() {
    const libraw_thumbnail_t& t = raw_->imgdata.thumbnail;
    if (t.tlength == 0 || t.twidth == 0 || t.theight == 0)
        return result::kNoStamp;
    // A preview cannot be larger than its file.
    if (t.tlength > fileBytes_)
        return result::kTruncated;
    // LibRaw's own check (thumbOK) misses previews whose declared size
    // disagrees with their length; those would overrun its buffers.
    if (!raw_->thumbOK() || !static_cast<const RawLibrary&>(*raw_).previewFits(fileBytes_))
        return result::kNoStamp;
    const int rc = raw_->unpack_thumb();
    if (rc == LIBRAW_NO_THUMBNAIL || rc == LIBRAW_UNSUPPORTED_THUMBNAIL)
        return result::kNoStamp;
    return codeOf(rc);
}

int RawSession::dataErrorCode() const {
    if (watch_->endReached)
        return result::kTruncated;
    if (watch_->damaged || raw_->error_count() > 0)
        return result::kCorruptData;
    return result::kSuccess;
}

int RawSession::codeOf(int e) const {
    if (watch_->stopped)
        return result::kAborted;
    switch (e) {
    case LIBRAW_SUCCESS:
        return result::kSuccess;
    case LIBRAW_FILE_UNSUPPORTED:
    case LIBRAW_NOT_IMPLEMENTED:
        return result::kUnsupported;
    case LIBRAW_REQUEST_FOR_NONEXISTENT_IMAGE:
    case LIBRAW_OUT_OF_ORDER_CALL:
    case LIBRAW_INPUT_CLOSED:
        return result::kInvalidParameter;
    case LIBRAW_NO_THUMBNAIL:
    case LIBRAW_UNSUPPORTED_THUMBNAIL:
        return result::kNoStamp;
    case LIBRAW_UNSUFFICIENT_MEMORY:
    case LIBRAW_MEMPOOL_OVERFLOW:
        return result::kNoMemory;
    case LIBRAW_TOO_BIG:
        return result::kTooLarge;
    case LIBRAW_IO_ERROR:
        return result::kTruncated;
    case LIBRAW_CANCELLED_BY_CALLBACK:
        return result::kAborted;
    default:
        return watch_->endReached ? result::kTruncated : result::kCorruptData;
    }
}

} // namespace kamelo::imaging::rawcodec
