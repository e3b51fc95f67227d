#include "webpsupport.h"

#include "imaging/bitmap.h"
#include "imaging/plausibility.h"
#include "imaging/result.h"

namespace kamelo::imaging::webpsupport {

bool acceptable(int64_t width, int64_t height, size_t fileBytes) {
    if (width <= 0 || height <= 0 || width * height > kMaxPixels)
        return false;
    return plausibility::plausible(width, height, fileBytes, kPixelsPerByte);
}

int resultOf(VP8StatusCode status) {
    switch (status) {
    case VP8_STATUS_OK:
        return result::kSuccess;
    case VP8_STATUS_OUT_OF_MEMORY:
        return result::kNoMemory;
    case VP8_STATUS_INVALID_PARAM:
        return result::kInvalidParameter;
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return result::kUnsupported;
    case VP8_STATUS_SUSPENDED:
    case VP8_STATUS_NOT_ENOUGH_DATA:
        return result::kTruncated;
    case VP8_STATUS_BITSTREAM_ERROR:
    case VP8_STATUS_USER_ABORT:
    default:
        return result::kCorruptData;
    }
}

void flattenRow(const uint8_t* bgra, uint8_t* bgr, int width) {
    for (int x = 0; x < width; ++x, bgra += 4, bgr += 3) {
        const unsigned a = bgra[3];
        if (a == 255) {
            bgr[0] = bgra[0];
            bgr[1] = bgra[1];
            bgr[2] = bgra[2];
        } else {
            bgr[0] = overWhite(bgra[0], a);
            bgr[1] = overWhite(bgra[1], a);
            bgr[2] = overWhite(bgra[2], a);
        }
    }
}

} // namespace kamelo::imaging::webpsupport
