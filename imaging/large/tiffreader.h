#pragma once

#include "imaging/large/request.h"

#include <string>

namespace kamelo::imaging::large {

// A TIFF read from its file piece by piece. A smaller copy of the picture
// in the same file (a later page or a SubIFD of the same shape, as
// pyramid TIFFs keep) is read instead when it still covers the target.
// Tiles are read one tile row at a time and only those meeting the region;
// strips one at a time; a single huge strip of plain 8-bit samples line by
// line. Other huge single-strip layouts are refused (kUnsupported).
int tiffSize(const std::string& path, int& width, int& height);
int decodeTiff(const std::string& path, const Request& request, Bitmap& out);

} // namespace kamelo::imaging::large
