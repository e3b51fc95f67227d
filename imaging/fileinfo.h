#pragma once

#include "pictureformat.h"

#include <cstdint>
#include <string>

namespace kamelo::imaging {

// What a file holds, read from its headers without decoding the pixels.
struct FileInfo {
    PictureFormat format = PictureFormat::Unknown;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;    // the file's own depth: all channels, e.g. 24 or 32
    std::string compression; // short readable name for "압축(%s)"
    int64_t sizeOnDisk = 0;
    int pageCount = 1; // pages, frames or icon images
    int xResolution = 96;
    int yResolution = 96;
};

} // namespace kamelo::imaging
