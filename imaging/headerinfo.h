#pragma once

#include "core/filebytes.h"
#include "fileinfo.h"

namespace kamelo::imaging {

// Depth, compression and page count of the formats read through
// GraphicsMagick, taken from their own headers (the library reports its
// working depth, not the file's).
void fillHeaderInfo(ByteView bytes, PictureFormat format, FileInfo& info);

} // namespace kamelo::imaging
