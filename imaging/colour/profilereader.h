#pragma once

#include "iccprofile.h"
#include "imaging/pictureformat.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kamelo::imaging::colour {

// Finds the colour space a file's pixels are in from its bytes: JPEG APP2
// "ICC_PROFILE" chunks (all of them, in order; a damaged sequence is
// ignored) and, without a profile, EXIF ColorSpace 0xFFFF with
// interoperability "R03" (Adobe RGB by the DCF rule); PNG iCCP, sRGB, or
// gAMA with cHRM; TIFF tag 34675 of the page read; PSD resource 1039; WebP
// ICCP. Null for sRGB, for a format whose decoder reports the profile
// itself (HEIF, AVIF, JPEG XL), and for anything refused or implausible (a
// profile larger than the file could hold, one lcms2 refuses). Reads only
// the bytes given, never past size; never throws.
ProfilePtr readEmbeddedProfile(const uint8_t* data, size_t size, PictureFormat format,
                               int page = 0);

} // namespace kamelo::imaging::colour
