#include "rawpreview.h"

#include "imaging/plausibility.h"
#include "imaging/result.h"
#include "rawsession.h"

#include <libraw/libraw.h>
#include <turbojpeg.h>

#include <memory>

namespace kamelo::imaging::rawcodec {

namespace {

struct TjCloser {
    void operator()(void* h) const { tjDestroy(h); }
};

} // namespace

int decodeJpegPreview(const uint8_t* data, size_t size, int minWidth, int minHeight, Bitmap& out) {
    std::unique_ptr<void, TjCloser> tj(tjInitDecompress());
    if (!tj)
        return result::kNoMemory;
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    auto* jpeg = const_cast<unsigned char*>(data);
    const unsigned long length = static_cast<unsigned long>(size);
    if (tjDecompressHeader3(tj.get(), jpeg, length, &width, &height, &subsampling, &colorspace) !=
        0)
        return result::kCorruptData;
    if (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK)
        return result::kUnsupported;
    if (int64_t(width) * height > kMaxPixels)
        return result::kTooLarge;
    if (!plausibility::plausible(width, height, size, plausibility::kJpegPixelsPerByte))
        return result::kTruncated;
    // The smallest scale libjpeg-turbo decodes fast that still covers the
    // place asked for.
    int scaledWidth = width, scaledHeight = height;
    for (int denominator = 8; denominator > 1 && (minWidth > 0 || minHeight > 0);
         denominator /= 2) {
        const tjscalingfactor f{1, denominator};
        const int w = TJSCALED(width, f), h = TJSCALED(height, f);
        if (w >= minWidth && h >= minHeight) {
            scaledWidth = w;
            scaledHeight = h;
            break;
        }
    }
    int rc = out.allocate(scaledWidth, scaledHeight);
    if (rc < 1)
        return rc;
    // A progressive preview with thousands of scans is refused rather than
    // decoded for minutes.
    if (tjDecompress2(tj.get(), jpeg, length, out.bits(), scaledWidth, out.stride(), scaledHeight,
                      TJPF_BGR, TJFLAG_LIMITSCANS) != 0 &&
        tjGetErrorCode(tj.get()) != TJERR_WARNING) {
        out.free();
        return result::kCorruptData;
    }
    return result::kSuccess;
}

namespace {

// An uncompressed preview: 8-bit grey or RGB rows.
int convertBitmap(const libraw_thumbnail_t& t, Bitmap& out) {
    const int colors = t.tcolors;
    if (colors != 1 && colors != 3)
        return result::kNoStamp;
    const size_t needed = size_t(t.twidth) * t.theight * size_t(colors);
    if (!t.thumb || needed == 0 || t.tlength < needed)
        return result::kTruncated;
    int rc = out.allocate(t.twidth, t.theight);
    if (rc < 1)
        return rc;
    const auto* src = reinterpret_cast<const uint8_t*>(t.thumb);
    for (int y = 0; y < t.theight; ++y) {
        uint8_t* d = out.row(y);
        for (int x = 0; x < t.twidth; ++x, d += 3, src += colors) {
            d[0] = src[colors == 3 ? 2 : 0];
            d[1] = src[colors == 3 ? 1 : 0];
            d[2] = src[0];
        }
    }
    return result::kSuccess;
}

} // namespace

int previewBitmap(const RawSession& session, int minWidth, int minHeight, Bitmap& out) {
    const libraw_thumbnail_t& t = session.raw().imgdata.thumbnail;
    if (!t.thumb || t.tlength == 0)
        return result::kNoStamp;
    switch (t.tformat) {
    case LIBRAW_THUMBNAIL_JPEG:
        return decodeJpegPreview(reinterpret_cast<const uint8_t*>(t.thumb), t.tlength, minWidth,
                                 minHeight, out);
    case LIBRAW_THUMBNAIL_BITMAP:
        return convertBitmap(t, out);
    default:
        return result::kNoStamp;
    }
}

} // namespace kamelo::imaging::rawcodec
