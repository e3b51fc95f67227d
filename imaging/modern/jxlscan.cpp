#include "jxlscan.h"

#include "imaging/bitmap.h"
#include "imaging/memorybudget.h"
#include "imaging/plausibility.h"
#include "imaging/result.h"
#include "jxlsession.h"

#include <algorithm>
#include <climits>

namespace kamelo::imaging::jxl {
namespace {

// JPEG XL's modular mode codes a flat picture in almost nothing, as deflate
// does; real photos and drawings stay far below the limit PNG has.
constexpr int64_t kPixelsPerByte = plausibility::kPngPixelsPerByte;
// libjxl decodes into planes of 32-bit samples of its own, beside our
// picture and outside its budget: about 16 bytes a pixel all told (a 12 MP
// photo takes 190 MB more than its picture).
constexpr uint64_t kWorkingBytesPerPixel = 16;

int countFrames(ByteView bytes, Header& out) {
    Session s(bytes, JXL_DEC_BASIC_INFO | JXL_DEC_FRAME);
    if (!s.valid() || !s.keepOrientation())
        return result::kNoMemory;
    bool haveInfo = false;
    for (;;) {
        const JxlDecoderStatus st = s.next();
        if (st == JXL_DEC_BASIC_INFO) {
            if (JxlDecoderGetBasicInfo(s.decoder(), &out.basic) != JXL_DEC_SUCCESS)
                return result::kCorruptData;
            haveInfo = true;
        } else if (st == JXL_DEC_FRAME) {
            // Without pixel output subscribed libjxl skips the frame's data.
            out.frames = std::min(out.frames + 1, INT_MAX - 1);
        } else if (st == JXL_DEC_SUCCESS) {
            return haveInfo && out.frames > 0 ? result::kSuccess : result::kCorruptData;
        } else {
            return codeFor(st);
        }
    }
}

int checkLayerSizes(ByteView bytes) {
    Session s(bytes, JXL_DEC_FRAME);
    if (!s.valid() || !s.keepOrientation() ||
        JxlDecoderSetCoalescing(s.decoder(), JXL_FALSE) != JXL_DEC_SUCCESS)
        return result::kNoMemory;
    for (;;) {
        const JxlDecoderStatus st = s.next();
        if (st == JXL_DEC_FRAME) {
            JxlFrameHeader frame{};
            if (JxlDecoderGetFrameHeader(s.decoder(), &frame) != JXL_DEC_SUCCESS)
                return result::kCorruptData;
            if (!plausibleSize(frame.layer_info.xsize, frame.layer_info.ysize, bytes.size))
                return result::kTooLarge;
        } else {
            return codeFor(st);
        }
    }
}

} // namespace

bool plausibleSize(int64_t width, int64_t height, size_t fileBytes) {
    return width > 0 && height > 0 && width <= INT_MAX / 4 && height <= INT_MAX &&
           width * height <= kMaxPixels &&
           uint64_t(width * height) * kWorkingBytesPerPixel <= memorybudget::hugeBudget() &&
           plausibility::plausible(width, height, fileBytes, kPixelsPerByte);
}

int scan(ByteView bytes, Header& out, bool checkLayers) {
    out = Header{};
    const JxlSignature signature =
        bytes.data ? JxlSignatureCheck(bytes.data, bytes.size) : JXL_SIG_NOT_ENOUGH_BYTES;
    if (signature == JXL_SIG_NOT_ENOUGH_BYTES)
        return result::kTruncated;
    if (signature != JXL_SIG_CODESTREAM && signature != JXL_SIG_CONTAINER)
        return result::kUnknownFormat;
    int rc = countFrames(bytes, out);
    if (rc >= 1 && checkLayers) {
        if (!plausibleSize(out.basic.xsize, out.basic.ysize, bytes.size))
            return result::kTooLarge;
        rc = checkLayerSizes(bytes);
    }
    return rc;
}

int durationMs(uint32_t ticks, const JxlAnimationHeader& animation) {
    if (animation.tps_numerator == 0)
        return 0;
    const double ms = double(ticks) * 1000.0 * animation.tps_denominator / animation.tps_numerator;
    return static_cast<int>(std::min(ms + 0.5, double(INT_MAX)));
}

} // namespace kamelo::imaging::jxl
