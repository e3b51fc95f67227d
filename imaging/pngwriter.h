#pragma once

#include "bitmap.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kamelo::imaging::pngwriter {

// A 24-bit PNG of the bitmap. Rows are filtered as libpng would choose
// (the filter with the smallest sum of absolute differences) and deflated
// in bands on several threads: each band is primed with the 32 KB before
// it and ends on a sync flush, so the bands join into one zlib stream of
// about the size a single thread makes, in a fraction of the time.
// threads 0: one per core. Returns 1 or an error code.
int encode(const Bitmap& bitmap, std::vector<uint8_t>& out, int threads = 0);

// What a PNG carries besides its pixels, each written only when not empty.
struct Metadata {
    std::vector<uint8_t> exif; // an eXIf chunk: the EXIF block from its TIFF header on
    std::vector<uint8_t> icc;  // an iCCP chunk, compressed here
    std::string xmp;           // an iTXt chunk "XML:com.adobe.xmp"
    // A Photoshop resource block holding the IPTC record, as the zTXt chunk
    // "Raw profile type iptc" that ImageMagick and Exiv2 write and read.
    std::vector<uint8_t> iptc;
};
// The same with metadata chunks before the picture data.
int encode(const Bitmap& bitmap, std::vector<uint8_t>& out, const Metadata& metadata,
           int threads = 0);

} // namespace kamelo::imaging::pngwriter
