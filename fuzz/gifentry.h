#pragma once

#include "fuzzentries.h"

namespace kamelo::fuzz {

// The GIF animation compositor: every frame of an animation drawn over the
// screen the previous one left, and a single frame composited on its own.
int gif(const uint8_t* data, size_t size);

inline constexpr Entry kGifEntries[] = {{"gif", gif}};

} // namespace kamelo::fuzz
