#pragma once

#include "core/filebytes.h"
#include "fileinfo.h"
#include "loadoptions.h"

#include <vector>

namespace kamelo::imaging {

class Bitmap;

// Photoshop documents, read by the program itself: the merged composite
// picture (layers are not read) at 1, 8, 16 or 32 bits per channel in
// bitmap, grey, duotone, indexed, RGB, CMYK, Lab or multichannel mode,
// raw or PackBits-compressed. The composite is already matted with white, so
// extra channels are ignored.
namespace psdcodec {
int readInfo(ByteView bytes, FileInfo& info);
int decode(ByteView bytes, const LoadOptions& options, Bitmap& out);
// An 8-bit RGB document with PackBits rows.
int encode(const Bitmap& bitmap, std::vector<uint8_t>& out);
} // namespace psdcodec

} // namespace kamelo::imaging
