#pragma once

#include "core/filebytes.h"
#include "fileinfo.h"
#include "loadoptions.h"

namespace kamelo::imaging {

class Bitmap;

// SGI image files, read by the program itself (the library reader refuses
// valid run-length files that share rows): 1 to 4 channels of 8 or 16 bits,
// verbatim or run-length, rows stored bottom-up. A fourth channel (or the
// second of two) is alpha and is flattened onto white.
namespace sgicodec {
int readInfo(ByteView bytes, FileInfo& info);
int decode(ByteView bytes, const LoadOptions& options, Bitmap& out);
} // namespace sgicodec

} // namespace kamelo::imaging
