#pragma once

#include "core/filebytes.h"
#include "fileinfo.h"
#include "loadoptions.h"

namespace kamelo::imaging {

class Bitmap;

// Sun raster files, read by the program itself (the library reader refuses
// valid run-length files): 1, 8, 24 and 32 bits, with or without a colour
// map, plain (types 0, 1), run-length (type 2) and RGB order (type 3).
namespace rascodec {
int readInfo(ByteView bytes, FileInfo& info);
int decode(ByteView bytes, const LoadOptions& options, Bitmap& out);
} // namespace rascodec

} // namespace kamelo::imaging
