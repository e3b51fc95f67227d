#pragma once

#include "imaging/core/filebytes.h"

#include <string>

namespace kamelo::imaging::rawcodec {

// The camera format a RAW file is in, as people name it: "DNG", or the
// maker and its format ("Canon CR2", "Nikon NEF", ...), told by the file's
// signature where it has one and by the maker's usual format where it is a
// plain TIFF. make: LibRaw's maker name; dng: LibRaw found a DNG version.
std::string formatName(ByteView bytes, const std::string& make, bool dng);

// LibRaw's flip (bit 2: rows and columns exchanged, bit 1: mirrored left to
// right, bit 0: upside down) as the EXIF orientation 1..8.
int exifOrientation(int flip);

} // namespace kamelo::imaging::rawcodec
