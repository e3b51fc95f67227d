#include "jxlcodec.h"

#include "imaging/memorybudget.h"
#include "imaging/result.h"
#include "jxlpixels.h"
#include "jxlscan.h"
#include "jxlsession.h"

#include <algorithm>
#include <climits>
#include <new>

namespace kamelo::imaging::jxlcodec {
namespace {

// Decodes the first `keep` frames, each as a whole screen (libjxl blends
// the layers of a frame onto what came before).
int decodeFrames(ByteView bytes, const jxl::Header& header, int keep, AnimatedBitmap& out) {
    jxl::Session s(bytes, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FRAME |
                              JXL_DEC_FULL_IMAGE);
    if (!jxl::preparePixels(s))
        return result::kNoMemory;
    JxlBasicInfo basic{};
    AnimationFrame frame;
    colour::ProfilePtr profile;
    jxl::PixelSink sink;
    for (;;) {
        const JxlDecoderStatus st = s.next();
        int rc = result::kSuccess;
        switch (st) {
        case JXL_DEC_BASIC_INFO:
            if (JxlDecoderGetBasicInfo(s.decoder(), &basic) != JXL_DEC_SUCCESS ||
                basic.xsize != header.basic.xsize || basic.ysize != header.basic.ysize)
                return result::kCorruptData;
            s.useThreadsFor(basic.xsize, basic.ysize);
            break;
        case JXL_DEC_COLOR_ENCODING:
            // Asks for sRGB where libjxl can give it, and says what comes.
            profile = jxl::pixelProfile(s.decoder(), basic, bytes.size);
            break;
        case JXL_DEC_FRAME: {
            JxlFrameHeader fh{};
            if (basic.xsize == 0 || JxlDecoderGetFrameHeader(s.decoder(), &fh) != JXL_DEC_SUCCESS)
                return result::kCorruptData;
            frame = AnimationFrame{};
            frame.delayMs =
                basic.have_animation ? jxl::durationMs(fh.duration, basic.animation) : 0;
            // libjxl hands out whole screens: nothing of one frame needs
            // clearing before the next is shown.
            frame.disposal = Disposal::Keep;
            if ((rc = frame.bitmap.allocate(int(basic.xsize), int(basic.ysize))) < 1)
                return rc;
            frame.bitmap.setSourceBitsPerPixel(jxl::sourceBitsOf(basic));
            frame.bitmap.setColourProfile(profile);
            sink.start(frame.bitmap, jxl::channelsFor(basic));
            break;
        }
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
            if (!frame.bitmap.isAllocated() || !sink.attach(s.decoder()))
                return result::kCorruptData;
            break;
        case JXL_DEC_FULL_IMAGE:
            sink.finish();
            out.append(std::move(frame));
            frame = AnimationFrame{};
            if (out.frameCount() >= keep)
                return result::kSuccess;
            break;
        case JXL_DEC_SUCCESS:
            return out.empty() ? result::kCorruptData : result::kSuccess;
        default:
            return jxl::codeFor(st);
        }
    }
}

} // namespace

int decodeAnimation(ByteView bytes, AnimatedBitmap& out) {
    return withoutThrowing([&]() -> int {
        // Emptied by assignment: clear() lives in a library above this one.
        out = AnimatedBitmap{};
        jxl::Header header;
        int rc = jxl::scan(bytes, header, true);
        if (rc < 1)
            return rc;
        // Only the frames that fit the animation budget are kept (always the
        // first); the rest are counted as left out, as for GIF.
        const size_t screen =
            size_t(Bitmap::strideFor(int(header.basic.xsize))) * header.basic.ysize;
        const size_t fit = memorybudget::animationBudget() / std::max<size_t>(screen, 1);
        const int keep = static_cast<int>(std::clamp<size_t>(fit, 1, size_t(header.frames)));
        try {
            rc = decodeFrames(bytes, header, keep, out);
        } catch (const std::bad_alloc&) {
            // The machine ran short before the budget did.
            rc = result::kNoMemory;
        }
        if (rc == result::kNoMemory && !out.empty())
            rc = result::kSuccess; // the frames made so far play on their own
        if (rc < 1) {
            out = AnimatedBitmap{};
            return rc;
        }
        out.setFramesLeftOut(header.frames - out.frameCount());
        return result::kSuccess;
    });
}

int readLoopCount(ByteView bytes, int& loops) {
    loops = 0;
    return withoutThrowing([&]() -> int {
        jxl::Header header;
        const int rc = jxl::scan(bytes, header, false);
        if (rc >= 1 && header.basic.have_animation)
            loops = static_cast<int>(std::min<uint32_t>(header.basic.animation.num_loops, INT_MAX));
        return rc;
    });
}

} // namespace kamelo::imaging::jxlcodec
