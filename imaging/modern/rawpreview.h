#pragma once

#include "imaging/bitmap.h"

#include <cstddef>
#include <cstdint>

namespace kamelo::imaging::rawcodec {

class RawSession;

// The embedded preview LibRaw unpacked (the largest the file holds) as a
// picture, as stored. A JPEG preview is decoded at the smallest of its 1/1,
// 1/2, 1/4 and 1/8 scales that still covers minWidth x minHeight (0 x 0:
// in full). Returns 1, kNoStamp when the preview is of a kind not shown, or
// an error code.
int previewBitmap(const RawSession& session, int minWidth, int minHeight, Bitmap& out);

// A JPEG preview's bytes decoded at the smallest of 1/1, 1/2, 1/4 and 1/8
// that still covers minWidth x minHeight (0 x 0: in full).
int decodeJpegPreview(const uint8_t* data, size_t size, int minWidth, int minHeight, Bitmap& out);

} // namespace kamelo::imaging::rawcodec
