#pragma once

#include "core/filebytes.h"
#include "fileinfo.h"
#include "loadoptions.h"

#include <vector>

namespace kamelo::imaging {

class Bitmap;

// Amiga IFF pictures, read by the program itself: FORM ILBM with 1-8
// bit-planes (palette, Extra-Half-Brite, HAM6, HAM8), 24- and 32-plane deep
// ILBM, and chunky FORM PBM; uncompressed or ByteRun1. A transparent-colour
// mask is not applied: the colour is shown as stored.
namespace iffcodec {
int readInfo(ByteView bytes, FileInfo& info);
int decode(ByteView bytes, const LoadOptions& options, Bitmap& out);
// A 24-plane ILBM with ByteRun1 rows.
int encode(const Bitmap& bitmap, std::vector<uint8_t>& out);
} // namespace iffcodec

} // namespace kamelo::imaging
