#include "jxlcodec.h"

#include "imaging/result.h"
#include "imaging/rowbands.h"
#include "jxlpixels.h"
#include "jxlscan.h"
#include "jxlsession.h"

#include <algorithm>

namespace kamelo::imaging::jxlcodec {
namespace {

int decodeFrame(ByteView bytes, const jxl::Header& header, const LoadOptions& options,
                Bitmap& out) {
    jxl::Session s(bytes, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FRAME |
                              JXL_DEC_FULL_IMAGE);
    if (!jxl::preparePixels(s))
        return result::kNoMemory;
    if (options.page > 0)
        JxlDecoderSkipFrames(s.decoder(), static_cast<size_t>(options.page));
    jxl::PixelSink sink;
    JxlBasicInfo basic{};
    for (;;) {
        const JxlDecoderStatus st = s.next();
        int rc = result::kSuccess;
        switch (st) {
        case JXL_DEC_BASIC_INFO:
            if (JxlDecoderGetBasicInfo(s.decoder(), &basic) != JXL_DEC_SUCCESS ||
                basic.xsize != header.basic.xsize || basic.ysize != header.basic.ysize)
                return result::kCorruptData;
            s.useThreadsFor(basic.xsize, basic.ysize);
            if ((rc = out.allocate(int(basic.xsize), int(basic.ysize))) < 1)
                return rc;
            out.setSourceBitsPerPixel(jxl::sourceBitsOf(basic));
            sink.start(out, jxl::channelsFor(basic));
            break;
        case JXL_DEC_COLOR_ENCODING:
            // Asks for sRGB where libjxl can give it, and says what comes.
            out.setColourProfile(jxl::pixelProfile(s.decoder(), basic, bytes.size));
            break;
        case JXL_DEC_FRAME:
            break;
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
            if (!out.isAllocated() || !sink.attach(s.decoder()))
                return result::kCorruptData;
            break;
        case JXL_DEC_FULL_IMAGE:
            // libjxl hands rows over in the order its threads finish them,
            // so they are reported once the frame is complete.
            sink.finish();
            return reportBands(out, options);
        default:
            // JXL_DEC_SUCCESS before any frame: the page does not exist.
            return st == JXL_DEC_SUCCESS ? result::kCorruptData : jxl::codeFor(st);
        }
    }
}

} // namespace

int readInfo(ByteView bytes, FileInfo& info) {
    return withoutThrowing([&]() -> int {
        jxl::Header header;
        const int rc = jxl::scan(bytes, header, false);
        if (rc < 1)
            return rc;
        info.format = PictureFormat::Jxl;
        info.width = static_cast<int>(std::min<uint32_t>(header.basic.xsize, INT32_MAX));
        info.height = static_cast<int>(std::min<uint32_t>(header.basic.ysize, INT32_MAX));
        info.bitsPerPixel = jxl::sourceBitsOf(header.basic);
        info.compression = "JPEG XL";
        info.pageCount = header.frames;
        return result::kSuccess;
    });
}

int decode(ByteView bytes, const LoadOptions& options, Bitmap& out) {
    return withoutThrowing([&]() -> int {
        out.free();
        jxl::Header header;
        int rc = jxl::scan(bytes, header, true);
        if (rc >= 1 && (options.page < 0 || options.page >= header.frames))
            rc = result::kInvalidParameter;
        if (rc >= 1)
            rc = decodeFrame(bytes, header, options, out);
        if (rc < 1)
            out.free(); // no half-decoded pixels leave the reader
        return rc;
    });
}

int readOrientation(const std::string& path) {
    const int orientation = withoutThrowing([&]() -> int {
        // The basic information follows the container's first boxes, which
        // may hold a large Exif or XMP block: a small head first, then more.
        for (const size_t head : {size_t(64) << 10, size_t(4) << 20}) {
            std::vector<uint8_t> bytes;
            if (readFileHead(path, head, bytes) < 1)
                return 1;
            jxl::Session s({bytes.data(), bytes.size()}, JXL_DEC_BASIC_INFO);
            if (!s.valid() || !s.keepOrientation())
                return 1;
            const JxlDecoderStatus st = s.next();
            JxlBasicInfo basic{};
            if (st == JXL_DEC_BASIC_INFO &&
                JxlDecoderGetBasicInfo(s.decoder(), &basic) == JXL_DEC_SUCCESS)
                return static_cast<int>(basic.orientation);
            if (st != JXL_DEC_NEED_MORE_INPUT || bytes.size() < head)
                return 1;
        }
        return 1;
    });
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

} // namespace kamelo::imaging::jxlcodec
