#pragma once

#include "core/filebytes.h"
#include "fileinfo.h"
#include "loadoptions.h"

#include <vector>

namespace kamelo::imaging {

class Bitmap;

// JPEG through libjpeg-turbo: baseline, progressive, grey and CMYK.
namespace jpegcodec {
int readInfo(ByteView bytes, FileInfo& info);
int decode(ByteView bytes, const LoadOptions& options, Bitmap& out);
// The largest denominator (8, 4, 2, else 1) whose decode of a width x height
// picture is still at least shownWidth x shownHeight: the sides come out
// rounded up, as the decoder scales them.
int scaleDenominatorFor(int width, int height, int shownWidth, int shownHeight);
// The size a width x height picture decodes to at 1/denominator.
int scaledSide(int side, int denominator);
// quality 0..100 as libjpeg takes it. app1, when given, is written as an
// APP1 segment after the JFIF header (at most 65533 bytes: the caller's
// EXIF block, "Exif\0\0" included).
int encode(const Bitmap& bitmap, int quality, std::vector<uint8_t>& out,
           const std::vector<uint8_t>* app1 = nullptr);
} // namespace jpegcodec

} // namespace kamelo::imaging
