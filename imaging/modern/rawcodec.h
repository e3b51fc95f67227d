#pragma once

#include "imaging/bitmap.h"
#include "imaging/core/filebytes.h"
#include "imaging/fileinfo.h"
#include "imaging/loadoptions.h"

#include <string>

// Camera RAW files through LibRaw.
namespace kamelo::imaging::rawcodec {

// Size of the developed picture, "RAW (<camera format>)" as compression.
int readInfo(ByteView bytes, FileInfo& info);
// options.scaleDenominator > 1: the largest embedded preview (a quick first
// picture); 1: the full development (camera white balance, sRGB, 8 bits).
// Neither is turned by the orientation (readOrientation reports it).
int decode(ByteView bytes, const LoadOptions& options, Bitmap& out);
// The largest embedded preview, as stored; kNoStamp when none.
int readStamp(ByteView bytes, Bitmap& out);
// The file's orientation (1-8).
int readOrientation(const std::string& path);

} // namespace kamelo::imaging::rawcodec
