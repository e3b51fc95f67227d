#pragma once

#include <cstddef>

namespace kamelo::imaging::prefault {

// Fresh memory costs a page fault and a cleared page on first touch, which
// on a large picture takes about half as long as decoding it. start() has a
// helper thread fault the buffer in from the top while the decoder fills it
// row by row; the work is done once either way, but on the other core.
// The helper never changes the buffer's contents.
inline constexpr size_t kMinBytes = size_t(16) << 20;

// Begins faulting in [p, p + bytes) when bytes is at least kMinBytes.
void start(void* p, size_t bytes);
// Stops and waits for p's helper, if it has one; call before p is freed.
void finish(void* p);

} // namespace kamelo::imaging::prefault
