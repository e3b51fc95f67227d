#pragma once

#include "core/filebytes.h"
#include "fileinfo.h"
#include "loadoptions.h"

namespace kamelo::imaging {

class Bitmap;

// TIFF through libtiff: strips and tiles, every compression libtiff reads,
// multi-page files (options.page, the first by default).
namespace tiffcodec {
int readInfo(ByteView bytes, FileInfo& info);
int decode(ByteView bytes, const LoadOptions& options, Bitmap& out);
} // namespace tiffcodec

} // namespace kamelo::imaging
