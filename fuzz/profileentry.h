#pragma once

#include "fuzzentries.h"

namespace kamelo::fuzz {

// The colour profile scanners of JPEG, PNG, TIFF, PSD and WebP headers, with
// lcms2 judging what they find. The first byte picks the format (and a TIFF
// page), the rest is the file.
int profile(const uint8_t* data, size_t size);

inline constexpr Entry kProfileEntries[] = {{"profile", profile}};

} // namespace kamelo::fuzz
