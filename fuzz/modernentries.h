#pragma once

#include "fuzzentries.h"

namespace kamelo::fuzz {

// The readers of today's photo formats (AVIF twice: through libheif and
// through libavif), wrapped around the field's own
// libraries: each entry reads the header, decodes the picture whole and
// scaled, and reads whatever else the reader offers (stamp, animation,
// metadata, orientation) from the same bytes.
int heif(const uint8_t* data, size_t size);
int webp(const uint8_t* data, size_t size);
int jxl(const uint8_t* data, size_t size);
int raw(const uint8_t* data, size_t size);
int avif(const uint8_t* data, size_t size);

inline constexpr Entry kModernEntries[] = {
    {"heif", heif}, {"webp", webp}, {"jxl", jxl}, {"raw", raw}, {"avif", avif},
};

} // namespace kamelo::fuzz
