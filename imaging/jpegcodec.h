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
// quality 0..100 as libjpeg takes it.
int encode(const Bitmap& bitmap, int quality, std::vector<uint8_t>& out);
} // namespace jpegcodec

} // namespace kamelo::imaging
