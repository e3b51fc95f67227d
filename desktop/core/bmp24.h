#pragma once

#include <cstdint>
#include <vector>

namespace kamelo::desktop {

// A 24-bit uncompressed Windows bitmap file of width x height pixels from
// top-down blue-green-red rows `stride` bytes apart. Empty for an empty or
// oversized picture (the file must stay below 4 GiB).
std::vector<uint8_t> encodeBmp24(int width, int height, int stride, const uint8_t* bits);

} // namespace kamelo::desktop
