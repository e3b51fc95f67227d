#pragma once

#include <functional>

namespace kamelo::imaging {

// Runs body(first, end) over consecutive bands of [0, count) on every core
// (the calling thread takes one band). Bands are at least minPerBand long,
// so small pictures stay on one thread.
void forBands(int count, const std::function<void(int first, int end)>& body, int minPerBand = 64);

} // namespace kamelo::imaging
