#pragma once

#include "bitmap.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kamelo::imaging::pngwriter {

// A 24-bit PNG of the bitmap. Rows are filtered as libpng would choose
// (the filter with the smallest sum of absolute differences) and deflated
// in bands of about a megabyte on several threads: each band is primed with
// the 32 KB before it and ends on a sync flush, so the bands join into one
// zlib stream of about the size a single thread makes, in a fraction of the
// time. Each band is one IDAT chunk.
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

// Takes the file's bytes in order; false stops the write.
using Sink = std::function<bool(const uint8_t* data, size_t size)>;
// The same PNG handed to sink piece by piece as it is made, so only a few
// bands of rows are ever held besides the bitmap. 1, or kFileWrite when the
// sink refused, or another error code.
int write(const Bitmap& bitmap, const Metadata& metadata, const Sink& sink, int threads = 0);

} // namespace kamelo::imaging::pngwriter
