#pragma once

#include <cstddef>
#include <cstdint>

namespace kamelo::acquire {

// How many of a JPEG's first bytes its segments before the scan take (the
// EXIF block with the camera date among them), judged from the `have` bytes
// read so far: `have` or less when they are all there, more when a segment
// runs past them (the caller reads on and asks again), 0 for bytes that are
// no JPEG. Never more than `limit`.
size_t jpegHeadBytes(const uint8_t* data, size_t have, size_t limit);

} // namespace kamelo::acquire
