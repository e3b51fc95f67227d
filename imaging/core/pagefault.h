#pragma once

#include <cstddef>

namespace kamelo::imaging {

// Fresh memory costs a page fault per 4 KiB on its first touch, which here
// costs more than filling it (about 40 ms for 9 MB, 25 ms for one 1080p
// frame). faultIn() maps the whole pages inside [p, p + bytes) in one call,
// with huge pages where the system gives them; the contents are left alone.
// A hint: kernels without it leave the pages to fault as usual.
void faultIn(void* p, size_t bytes);

} // namespace kamelo::imaging
