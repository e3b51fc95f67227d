#pragma once

#include "bitmap.h"

#include <cstdint>
#include <vector>

namespace kamelo::imaging::bmpwriter {

// A 24-bit uncompressed Windows bitmap (BITMAPINFOHEADER, rows bottom-up,
// each padded to four bytes) with the picture's resolution. Written here
// rather than through GraphicsMagick, which takes three times as long on a
// large picture for a format that is a header and the rows.
int encode(const Bitmap& bitmap, std::vector<uint8_t>& out);

} // namespace kamelo::imaging::bmpwriter
