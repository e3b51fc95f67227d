#pragma once

#include "core/filebytes.h"
#include "loadoptions.h"
#include "pictureformat.h"

#include <string>
#include <vector>

namespace kamelo::imaging {

class Bitmap;

// The older formats through GraphicsMagick: BMP, PCX, DCX, Sun raster, SGI,
// TGA, PICT, PCD, ICO, CUR and WMF for reading; PCX, GIF, TGA, TIFF,
// Sun raster, PICT and SGI for writing. The library is initialised once and
// reads from memory, so file names never reach its own name parsing. It is
// loaded on first use from modules/kamelo-magick.so in the program folder
// (magick/).
namespace magickcodec {
// Whether the module could be loaded; without it these formats are
// unsupported.
bool available();
// Width and height from the headers only.
int ping(ByteView bytes, PictureFormat format, int& width, int& height);
int decode(ByteView bytes, PictureFormat format, const LoadOptions& options, Bitmap& out);
// magick: the library's format name ("PCX", "GIF", ...). The picture is
// written at 24 bits, or with a palette where the format requires one.
int encode(const Bitmap& bitmap, const std::string& magick, std::vector<uint8_t>& out);
} // namespace magickcodec

} // namespace kamelo::imaging
