#pragma once

#include "core/filebytes.h"
#include "fileinfo.h"
#include "loadoptions.h"

#include <vector>

namespace kamelo::imaging {

class Bitmap;

// PNG through libpng: every bit depth and colour type, palettes with
// transparency, 16-bit and interlaced files. Alpha is flattened onto white.
namespace pngcodec {
int readInfo(ByteView bytes, FileInfo& info);
int decode(ByteView bytes, const LoadOptions& options, Bitmap& out);
int encode(const Bitmap& bitmap, std::vector<uint8_t>& out);
} // namespace pngcodec

} // namespace kamelo::imaging
