#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <jpeglib.h>

namespace kamelo::imaging::large {

// The bytes libjpeg keeps for a whole-picture coefficient buffer (what a
// progressive file needs whatever the output scale), from the header.
uint64_t coefficientBytes(const jpeg_decompress_struct& cinfo);

// Adobe files store CMYK inverted (0 = full ink); others store it plainly.
void cmykRowToBgr(const uint8_t* src, uint8_t* dst, int width, bool inverted);

} // namespace kamelo::imaging::large
