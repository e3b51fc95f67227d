#pragma once

#include "core/filebytes.h"
#include "fileinfo.h"
#include "loadoptions.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kamelo::imaging {

class Bitmap;

// TIFF through libtiff: strips and tiles, every compression libtiff reads,
// multi-page files (options.page, the first by default).
namespace tiffcodec {
int readInfo(ByteView bytes, FileInfo& info);
int decode(ByteView bytes, const LoadOptions& options, Bitmap& out);
// The same from a file, reading only the directory libtiff asks for (a scan
// may be gigabytes).
int readInfo(const std::string& path, FileInfo& info);
// The first page's embedded ICC profile (empty when there is none).
int readIccProfile(const std::string& path, std::vector<uint8_t>& out);
} // namespace tiffcodec

} // namespace kamelo::imaging
