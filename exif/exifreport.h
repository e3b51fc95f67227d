#pragma once

#include "exif/core/exifrows.h"

#include <string>
#include <vector>

namespace kamelo {

// The 21 camera information rows of a picture file, read from the file's
// frame header and EXIF block, its comments and its EXIF properties. A file
// that is not a JPEG shows the rows of its EXIF block (HEIF, AVIF, WebP,
// JPEG XL, RAW...) with its own pixel size, or 0 pixels and empty rows when
// it has none.
class ExifReport {
public:
    static ExifSources sources(const std::string& path);
    static std::vector<ExifRow> rows(const std::string& path);
};

} // namespace kamelo
