#pragma once

#include "core/filebytes.h"
#include "fileinfo.h"
#include "loadoptions.h"

#include <vector>

namespace kamelo::imaging {

class Bitmap;

// PNG through libpng: every bit depth and colour type, palettes with
// transparency, 16-bit and interlaced files. Alpha is flattened onto white.
// Writing is pngwriter's.
namespace pngcodec {
int readInfo(ByteView bytes, FileInfo& info);
int decode(ByteView bytes, const LoadOptions& options, Bitmap& out);
} // namespace pngcodec

} // namespace kamelo::imaging
