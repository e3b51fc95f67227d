#include "webpanimation.h"

#include "imaging/memorybudget.h"
#include "imaging/plausibility.h"
#include "imaging/result.h"
#include "webpsupport.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>
#include <webp/demux.h>

namespace kamelo::imaging::webpanimation {

namespace {

// Drawing a frame costs libwebp and the flattening a pass over the whole
// canvas, however small the frame: frames beyond this many canvas pixels in
// all are left out, so a file of thousands of tiny frames on a large canvas
// cannot keep the loader busy for long.
constexpr uint64_t kMaxComposedPixels = uint64_t(1) << 30;

// Every frame costs a pass over the whole canvas, however little of it the
// frame covers, so a canvas is held to what its file could draw: as for a
// GIF screen, 10,000 pixels a byte (a still picture may go further, as a
// blank lossless page does).
constexpr int64_t kCanvasPixelsPerByte = 10000;

// One frame's place and timing, read from the container without decoding.
struct FrameLayout {
    Rect rect;
    int delayMs = 0;
    bool disposedToBackground = false;
};

class Session {
public:
    ~Session() {
        if (decoder_)
            WebPAnimDecoderDelete(decoder_);
    }

    int open(ByteView bytes) {
        if (!bytes.data || bytes.size < 12)
            return result::kUnknownFormat;
        int rc = checkContainer(bytes);
        if (rc < 1)
            return rc;
        WebPAnimDecoderOptions options;
        if (!WebPAnimDecoderOptionsInit(&options))
            return result::kUnsupported;
        options.color_mode = MODE_BGRA;
        options.use_threads = 1;
        const WebPData data{bytes.data, bytes.size};
        decoder_ = WebPAnimDecoderNew(&data, &options);
        if (!decoder_ || !WebPAnimDecoderGetInfo(decoder_, &info_))
            return result::kCorruptData;
        if (info_.frame_count == 0 || info_.canvas_width != uint32_t(width_) ||
            info_.canvas_height != uint32_t(height_))
            return result::kCorruptData;
        return readLayout();
    }

    int width() const { return width_; }
    int height() const { return height_; }
    int frames() const { return static_cast<int>(layout_.size()); }
    int sourceBits() const { return alpha_ ? 32 : 24; }
    const FrameLayout& layout(int i) const { return layout_[size_t(i)]; }

    // The canvas after the next frame (width x height blue-green-red-alpha),
    // or null when the frame cannot be decoded.
    const uint8_t* next() {
        uint8_t* canvas = nullptr;
        int timestamp = 0;
        if (!WebPAnimDecoderHasMoreFrames(decoder_) ||
            !WebPAnimDecoderGetNext(decoder_, &canvas, &timestamp))
            return nullptr;
        return canvas;
    }

    // Frames whose canvas passes fit the work limit (always the first).
    int framesWithinWork() const {
        const uint64_t perFrame = uint64_t(width_) * uint64_t(height_);
        const uint64_t most = std::max<uint64_t>(1, kMaxComposedPixels / perFrame);
        return static_cast<int>(std::min<uint64_t>(most, layout_.size()));
    }

private:
    // The canvas size from the container, checked before libwebp allocates
    // its two working canvases of four bytes a pixel.
    int checkContainer(ByteView bytes) {
        const WebPData data{bytes.data, bytes.size};
        WebPDemuxState state = WEBP_DEMUX_PARSE_ERROR;
        WebPDemuxer* demux = WebPDemuxPartial(&data, &state);
        if (!demux)
            return state == WEBP_DEMUX_PARSE_ERROR ? result::kCorruptData : result::kTruncated;
        width_ = static_cast<int>(
            std::min<uint32_t>(WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH), uint32_t(kMaxPixels)));
        height_ = static_cast<int>(
            std::min<uint32_t>(WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT), uint32_t(kMaxPixels)));
        alpha_ = (WebPDemuxGetI(demux, WEBP_FF_FORMAT_FLAGS) & ALPHA_FLAG) != 0;
        WebPDemuxDelete(demux);
        if (state != WEBP_DEMUX_DONE)
            return result::kTruncated;
        if (width_ <= 0 || height_ <= 0)
            return result::kCorruptData;
        if (int64_t(width_) * height_ > kMaxPixels)
            return result::kTooLarge;
        if (!plausibility::plausible(width_, height_, bytes.size, kCanvasPixelsPerByte))
            return result::kCorruptData;
        const uint64_t working = uint64_t(width_) * uint64_t(height_) * 8;
        if (working > memorybudget::animationBudget())
            return result::kTooLarge;
        return result::kSuccess;
    }

    int readLayout() {
        const WebPDemuxer* demux = WebPAnimDecoderGetDemuxer(decoder_);
        const uint32_t count = info_.frame_count;
        if (!demux || count != WebPDemuxGetI(demux, WEBP_FF_FRAME_COUNT))
            return result::kCorruptData;
        layout_.reserve(count);
        WebPIterator it;
        if (!WebPDemuxGetFrame(demux, 1, &it))
            return result::kCorruptData;
        do {
            FrameLayout f;
            const int x0 = std::clamp(it.x_offset, 0, width_);
            const int y0 = std::clamp(it.y_offset, 0, height_);
            const int x1 = std::clamp(it.x_offset + it.width, x0, width_);
            const int y1 = std::clamp(it.y_offset + it.height, y0, height_);
            f.rect = {x0, y0, x1 - x0, y1 - y0};
            f.delayMs = std::max(0, it.duration);
            f.disposedToBackground = it.dispose_method == WEBP_MUX_DISPOSE_BACKGROUND;
            layout_.push_back(f);
        } while (layout_.size() < count && WebPDemuxNextFrame(&it));
        WebPDemuxReleaseIterator(&it);
        return layout_.size() == count ? result::kSuccess : result::kCorruptData;
    }

    WebPAnimDecoder* decoder_ = nullptr;
    WebPAnimInfo info_{};
    int width_ = 0;
    int height_ = 0;
    bool alpha_ = false;
    std::vector<FrameLayout> layout_;
};

Rect unite(const Rect& a, const Rect& b) {
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const int x1 = std::max(a.x + a.width, b.x + b.width);
    const int y1 = std::max(a.y + a.height, b.y + b.height);
    return {x0, y0, x1 - x0, y1 - y0};
}

// What frame i may change on the screen left by frame i - 1.
Rect changedBy(const Session& s, int i) {
    const FrameLayout& previous = s.layout(i - 1);
    return unite(previous.disposedToBackground ? previous.rect : Rect{}, s.layout(i).rect);
}

void flatten(const uint8_t* canvas, Bitmap& screen) {
    const size_t rowBytes = size_t(screen.width()) * 4;
    for (int y = 0; y < screen.height(); ++y)
        webpsupport::flattenRow(canvas + rowBytes * size_t(y), screen.row(y), screen.width());
}

// Where, inside within, the flattened canvas differs from the screen. What a
// frame can change is known from the container (changedBy), so only that
// part is compared and a small frame costs little on a large canvas.
Rect difference(const uint8_t* canvas, const Bitmap& screen, const Rect& within,
                std::vector<uint8_t>& scratch) {
    const size_t canvasRow = size_t(screen.width()) * 4;
    int x0 = within.width, x1 = -1, y0 = within.height, y1 = -1;
    for (int y = 0; y < within.height; ++y) {
        webpsupport::flattenRow(canvas + canvasRow * size_t(within.y + y) + size_t(within.x) * 4,
                                scratch.data(), within.width);
        const uint8_t* old = screen.row(within.y + y) + size_t(within.x) * 3;
        const uint8_t* now = scratch.data();
        if (std::memcmp(old, now, size_t(within.width) * 3) == 0)
            continue;
        int left = 0, right = within.width - 1;
        while (std::memcmp(old + left * 3, now + left * 3, 3) == 0)
            ++left;
        while (std::memcmp(old + right * 3, now + right * 3, 3) == 0)
            --right;
        x0 = std::min(x0, left);
        x1 = std::max(x1, right);
        y0 = std::min(y0, y);
        y1 = y;
    }
    if (x1 < 0)
        return {};
    return {within.x + x0, within.y + y0, x1 - x0 + 1, y1 - y0 + 1};
}

void flattenRect(const uint8_t* canvas, const Rect& r, Bitmap& screen) {
    const size_t rowBytes = size_t(screen.width()) * 4;
    for (int y = r.y; y < r.y + r.height; ++y)
        webpsupport::flattenRow(canvas + rowBytes * size_t(y) + size_t(r.x) * 4,
                                screen.row(y) + size_t(r.x) * 3, r.width);
}

AnimationFrame describe(const Session& s, int i) {
    AnimationFrame frame;
    frame.delayMs = s.layout(i).delayMs;
    frame.disposal = s.layout(i).disposedToBackground ? Disposal::Background : Disposal::Keep;
    return frame;
}

struct Keeping {
    int frames = 1;
    bool patches = false;
};

// As for GIF: whole screens unless patches keep more frames, or the same
// ones in a quarter of a large amount of memory.
Keeping keepingFor(const Session& s, size_t budget) {
    const size_t screenBytes = size_t(Bitmap::strideFor(s.width())) * size_t(s.height());
    const int most = s.framesWithinWork();
    size_t wholeBytes = screenBytes, patchBytes = screenBytes;
    int whole = 0, patched = 0;
    bool wholeFits = true, patchFits = true;
    for (int i = 0; i < most && (wholeFits || patchFits); ++i) {
        const size_t own = sizeof(AnimationFrame);
        if (wholeFits && (i == 0 || wholeBytes + screenBytes + own <= budget)) {
            wholeBytes += screenBytes + own;
            whole = i + 1;
        } else {
            wholeFits = false;
        }
        size_t bytes = sizeof(FramePatch) + own;
        if (i > 0)
            bytes += 2 * FramePatch::bytesFor(changedBy(s, i));
        if (patchFits && (i == 0 || patchBytes + bytes <= budget)) {
            patchBytes += bytes;
            patched = i + 1;
        } else {
            patchFits = false;
        }
    }
    return patchesKeepMore(whole, wholeBytes, patched, patchBytes) ? Keeping{patched, true}
                                                                   : Keeping{whole, false};
}

// Each frame with its own screen. A frame that cannot be decoded ends the
// animation at the frames before it.
int composeWhole(Session& s, int count, AnimatedBitmap& out) {
    for (int i = 0; i < count; ++i) {
        const uint8_t* canvas = s.next();
        if (!canvas)
            return i > 0 ? result::kSuccess : result::kCorruptData;
        AnimationFrame frame = describe(s, i);
        const int rc = frame.bitmap.allocate(s.width(), s.height());
        if (rc < 1)
            return rc;
        flatten(canvas, frame.bitmap);
        frame.bitmap.setSourceBitsPerPixel(s.sourceBits());
        out.append(std::move(frame));
    }
    return result::kSuccess;
}

// One screen showing frame 0 and what every later frame changes.
int composePatches(Session& s, int count, AnimatedBitmap& out) {
    Bitmap screen;
    int rc = screen.allocate(s.width(), s.height());
    if (rc < 1)
        return rc;
    std::vector<uint8_t> scratch(size_t(s.width()) * 3);
    std::vector<FramePatch> patches;
    patches.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const uint8_t* canvas = s.next();
        if (!canvas) {
            if (i == 0)
                return result::kCorruptData;
            break;
        }
        FramePatch p;
        if (i == 0) {
            flatten(canvas, screen);
        } else {
            p.rect = difference(canvas, screen, changedBy(s, i), scratch);
            if (!FramePatch::copyOut(screen, p.rect, p.before))
                return result::kNoMemory;
            flattenRect(canvas, p.rect, screen);
            if (!FramePatch::copyOut(screen, p.rect, p.after))
                return result::kNoMemory;
        }
        patches.push_back(std::move(p));
        out.append(describe(s, i));
    }
    for (size_t i = patches.size(); i-- > 1;)
        FramePatch::paste(screen, patches[i].rect, patches[i].before);
    screen.setSourceBitsPerPixel(s.sourceBits());
    out.setPatches(std::move(screen), std::move(patches));
    return result::kSuccess;
}

} // namespace

int decodeFrame(ByteView bytes, int page, Bitmap& out) {
    Session s;
    int rc = s.open(bytes);
    if (rc < 1)
        return rc;
    if (page < 0 || page >= s.frames())
        return result::kInvalidParameter;
    if (page >= s.framesWithinWork())
        return result::kTooLarge;
    const uint8_t* canvas = nullptr;
    for (int i = 0; i <= page; ++i)
        if (!(canvas = s.next()))
            return result::kCorruptData;
    Bitmap picture;
    if ((rc = picture.allocate(s.width(), s.height())) < 1)
        return rc;
    flatten(canvas, picture);
    picture.setSourceBitsPerPixel(s.sourceBits());
    out = std::move(picture);
    return result::kSuccess;
}

int decodeAll(ByteView bytes, AnimatedBitmap& out) {
    out.clear();
    Session s;
    int rc = s.open(bytes);
    if (rc < 1)
        return rc;
    const Keeping keeping = keepingFor(s, memorybudget::animationBudget());
    try {
        rc = keeping.patches ? composePatches(s, keeping.frames, out)
                             : composeWhole(s, keeping.frames, out);
    } catch (const std::bad_alloc&) {
        // Short of memory before the budget: whole screens made so far play
        // on their own; patches need all of theirs.
        rc = out.empty() || keeping.patches ? result::kNoMemory : result::kSuccess;
    }
    if (rc < 1) {
        out.clear();
        return rc;
    }
    out.setFramesLeftOut(s.frames() - out.frameCount());
    return result::kSuccess;
}

int loopCount(ByteView bytes, int& loops) {
    loops = 0;
    if (!bytes.data || bytes.size < 12)
        return result::kUnknownFormat;
    const WebPData data{bytes.data, bytes.size};
    WebPDemuxState state = WEBP_DEMUX_PARSE_ERROR;
    WebPDemuxer* demux = WebPDemuxPartial(&data, &state);
    if (!demux)
        return state == WEBP_DEMUX_PARSE_ERROR ? result::kCorruptData : result::kTruncated;
    loops = static_cast<int>(std::min<uint32_t>(WebPDemuxGetI(demux, WEBP_FF_LOOP_COUNT), 65535));
    WebPDemuxDelete(demux);
    return result::kSuccess;
}

} // namespace kamelo::imaging::webpanimation
