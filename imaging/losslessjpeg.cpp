#include "losslessjpeg.h"

#include "bitmap.h"
#include "exifpatch.h"
#include "jpeglayout.h"
#include "plausibility.h"
#include "result.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace kamelo::imaging {

namespace {

struct HandleCloser {
    void operator()(void* h) const { tjDestroy(h); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

struct BufferFreer {
    void operator()(unsigned char* p) const { tjFree(p); }
};
using TjBuffer = std::unique_ptr<unsigned char, BufferFreer>;

// An EXIF thumbnail larger than this is no thumbnail: it is dropped
// instead of turned.
constexpr size_t kMaxThumbnailBytes = size_t(64) << 10;

int opFor(PlaneTurn t) {
    if (!t.mirror()) {
        constexpr int turns[4] = {TJXOP_NONE, TJXOP_ROT90, TJXOP_ROT180, TJXOP_ROT270};
        return turns[t.quarterTurns()];
    }
    constexpr int mirrored[4] = {TJXOP_HFLIP, TJXOP_TRANSVERSE, TJXOP_VFLIP, TJXOP_TRANSPOSE};
    return mirrored[t.quarterTurns()];
}

struct Header {
    int width = 0;
    int height = 0;
    int subsampling = -1;
    int colorspace = -1;
};

int readHeader(ByteView source, Header& h) {
    Handle d(tjInitDecompress());
    if (!d)
        return result::kNoMemory;
    if (tjDecompressHeader3(d.get(), source.data, static_cast<unsigned long>(source.size), &h.width,
                            &h.height, &h.subsampling, &h.colorspace) != 0)
        return result::kUnsupported;
    if (h.width < 1 || h.height < 1 || h.subsampling < 0 || h.subsampling >= TJ_NUMSAMP)
        return result::kUnsupported;
    if (int64_t(h.width) * h.height > kMaxPixels ||
        !plausibility::plausible(h.width, h.height, source.size, plausibility::kJpegPixelsPerByte))
        return result::kTooLarge;
    return result::kSuccess;
}

// The encoder's stream after its start-of-image marker and its own JFIF
// header: the source's segments, its JFIF header among them, stand there.
void appendEncoded(const std::vector<uint8_t>& encoded, const JpegLayout& layout,
                   std::vector<uint8_t>& out) {
    const ByteView view{encoded.data(), encoded.size()};
    size_t resume = 2;
    for (const JpegLayout::Segment& s : layout.segments()) {
        if (s.marker != 0xE0 && s.marker != 0xEE)
            break;
        if (s.offset == resume && s.marker == 0xE0 && JpegLayout::named(view, s, "JFIF", 5))
            resume += s.size;
        else
            break;
    }
    out.insert(out.end(), encoded.begin() + long(resume), encoded.end());
}

// Decodes, turns and compresses again, carrying over the source's marker
// segments (its Adobe marker gives way to the encoder's).
int reencode(ByteView source, const Header& h, const JpegLayout& layout, PlaneTurn turn,
             LosslessJpeg::Result& out) {
    const bool grey = h.colorspace == TJCS_GRAY || h.subsampling == TJSAMP_GRAY;
    const bool cmyk = h.colorspace == TJCS_CMYK || h.colorspace == TJCS_YCCK;
    const int format = grey ? TJPF_GRAY : cmyk ? TJPF_CMYK : TJPF_RGB;
    const size_t pixelSize = size_t(tjPixelSize[format]);
    const size_t count = size_t(h.width) * size_t(h.height);
    std::vector<uint8_t> pixels(count * pixelSize);
    {
        Handle d(tjInitDecompress());
        if (!d)
            return result::kNoMemory;
        if (tjDecompress2(d.get(), source.data, static_cast<unsigned long>(source.size),
                          pixels.data(), h.width, 0, h.height, format, TJFLAG_ACCURATEDCT) != 0 &&
            tjGetErrorCode(d.get()) == TJERR_FATAL)
            return result::kCorruptData;
    }
    const int w = turn.swapsSides() ? h.height : h.width;
    const int ht = turn.swapsSides() ? h.width : h.height;
    std::vector<uint8_t> turned(pixels.size());
    for (int y = 0; y < h.height; ++y) {
        // Along a row the target moves by a fixed step.
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        turn.map(0, y, h.width, h.height, x0, y0);
        turn.map(h.width > 1 ? 1 : 0, y, h.width, h.height, x1, y1);
        const ptrdiff_t step = (ptrdiff_t(y1 - y0) * w + (x1 - x0)) * ptrdiff_t(pixelSize);
        uint8_t* to = turned.data() + (size_t(y0) * size_t(w) + size_t(x0)) * pixelSize;
        const uint8_t* from = pixels.data() + size_t(y) * size_t(h.width) * pixelSize;
        for (int x = 0; x < h.width; ++x, from += pixelSize, to += step)
            std::memcpy(to, from, pixelSize);
    }
    pixels = {};

    out.quality = layout.estimateQuality();
    if (out.quality < 1)
        out.quality = 90;
    const int subsampling = grey ? TJSAMP_GRAY : h.subsampling;
    unsigned char* raw = nullptr;
    unsigned long rawSize = 0;
    {
        Handle c(tjInitCompress());
        if (!c)
            return result::kNoMemory;
        const int flags = TJFLAG_ACCURATEDCT | (layout.progressive() ? TJFLAG_PROGRESSIVE : 0);
        const int rc = tjCompress2(c.get(), turned.data(), w, 0, ht, format, &raw, &rawSize,
                                   subsampling, out.quality, flags);
        TjBuffer owned(raw);
        if (rc != 0)
            return result::kUnsupported;
        const std::vector<uint8_t> encoded(raw, raw + rawSize);
        JpegLayout encodedLayout;
        encodedLayout.read({encoded.data(), encoded.size()});
        out.bytes.assign({0xFF, 0xD8});
        const bool encoderAdobe =
            std::any_of(encodedLayout.segments().begin(), encodedLayout.segments().end(),
                        [](const JpegLayout::Segment& s) { return s.marker == 0xEE; });
        for (const JpegLayout::Segment& s : layout.segments()) {
            const bool kept = (s.marker >= 0xE0 && s.marker <= 0xEF) || s.marker == 0xFE;
            if (!kept || (s.marker == 0xEE && encoderAdobe))
                continue;
            out.bytes.insert(out.bytes.end(), source.data + s.offset,
                             source.data + s.offset + s.size);
        }
        appendEncoded(encoded, encodedLayout, out.bytes);
    }
    out.width = w;
    out.height = ht;
    out.reencoded = true;
    return result::kSuccess;
}

// Makes the EXIF block (and the XMP packet) describe the turned picture.
void fixMetadata(LosslessJpeg::Result& r, PlaneTurn turn, bool upright) {
    ExifPatch patch;
    if (upright)
        patch.orientation = 1;
    if (turn.isNone()) {
        // The file's pixels as they were: only the orientation may change.
        if (upright)
            patch.apply(r.bytes);
        return;
    }
    patch.width = r.width;
    patch.height = r.height;
    patch.thumbnail = [turn](const std::vector<uint8_t>& old, std::vector<uint8_t>& turned) {
        LosslessJpeg::Options o;
        o.fixMetadata = false;
        LosslessJpeg::Result t;
        if (old.size() > kMaxThumbnailBytes ||
            LosslessJpeg::turn({old.data(), old.size()}, turn, o, t) < 1)
            return false;
        turned = std::move(t.bytes);
        return true;
    };
    patch.apply(r.bytes);
}

} // namespace

bool LosslessJpeg::isJpeg(ByteView bytes) {
    return bytes.data && bytes.size >= 3 && bytes.data[0] == 0xFF && bytes.data[1] == 0xD8 &&
           bytes.data[2] == 0xFF;
}

bool LosslessJpeg::perfect(PlaneTurn turn, int width, int height, int mcuWidth, int mcuHeight) {
    // Partial blocks on the right edge must not move away from it, nor those
    // on the bottom edge.
    const bool wholeWidth = width % mcuWidth == 0;
    const bool wholeHeight = height % mcuHeight == 0;
    switch (opFor(turn)) {
    case TJXOP_HFLIP:
    case TJXOP_ROT270:
        return wholeWidth;
    case TJXOP_VFLIP:
    case TJXOP_ROT90:
        return wholeHeight;
    case TJXOP_ROT180:
    case TJXOP_TRANSVERSE:
        return wholeWidth && wholeHeight;
    default:
        return true;
    }
}

int LosslessJpeg::turn(ByteView source, PlaneTurn turn, const Options& options, Result& out) {
    return withoutThrowing([&]() -> int {
        out = Result{};
        if (!isJpeg(source))
            return result::kUnsupported;
        // Segments this cannot walk (stray bytes between them, ...) are left
        // to the decoder, which puts up with more.
        JpegLayout layout;
        if (!layout.read(source))
            return result::kUnsupported;
        Header h;
        if (const int rc = readHeader(source, h); rc < 1)
            return rc;
        if (turn.isNone()) {
            // Nothing moves: the file as it is, but for the orientation.
            out.bytes.assign(source.data, source.data + source.size);
            out.width = h.width;
            out.height = h.height;
        } else if (perfect(turn, h.width, h.height, tjMCUWidth[h.subsampling],
                           tjMCUHeight[h.subsampling])) {
            Handle t(tjInitTransform());
            if (!t)
                return result::kNoMemory;
            tjtransform transform{};
            transform.op = opFor(turn);
            transform.options = TJXOPT_PERFECT | (layout.progressive() ? TJXOPT_PROGRESSIVE : 0);
            unsigned char* raw = nullptr;
            unsigned long rawSize = 0;
            const int rc =
                tjTransform(t.get(), source.data, static_cast<unsigned long>(source.size), 1, &raw,
                            &rawSize, &transform, 0);
            TjBuffer owned(raw);
            if (rc != 0 && tjGetErrorCode(t.get()) == TJERR_FATAL)
                return result::kUnsupported;
            out.bytes.assign(raw, raw + rawSize);
            out.width = turn.swapsSides() ? h.height : h.width;
            out.height = turn.swapsSides() ? h.width : h.height;
        } else {
            if (!options.allowReencode)
                return result::kUnsupported;
            if (const int rc = reencode(source, h, layout, turn, out); rc < 1)
                return rc;
        }
        if (options.fixMetadata)
            fixMetadata(out, turn, options.upright);
        return result::kSuccess;
    });
}

int LosslessJpeg::turnFile(const std::string& source, const std::string& destination,
                           PlaneTurn turn, const Options& options, Result& out) {
    std::vector<uint8_t> bytes;
    if (const int rc = readWholeFile(source, bytes); rc < 1)
        return rc;
    if (const int rc = LosslessJpeg::turn({bytes.data(), bytes.size()}, turn, options, out); rc < 1)
        return rc;
    bytes = {};
    return writeFileAtomically(destination, out.bytes.data(), out.bytes.size());
}

} // namespace kamelo::imaging
