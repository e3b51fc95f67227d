#pragma once

#include <cstddef>
#include <cstdint>

// The few EXIF values the WebP reader takes from an EXIF chunk itself.
namespace kamelo::imaging::webpexif {

// The orientation tag (1-8) of IFD0 in a TIFF-structured EXIF block, with
// or without a leading "Exif\0\0"; 1 when there is none or it is damaged.
int orientation(const uint8_t* data, size_t size);

} // namespace kamelo::imaging::webpexif
