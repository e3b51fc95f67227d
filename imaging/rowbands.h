#pragma once

#include "bitmap.h"
#include "loadoptions.h"
#include "result.h"

#include <algorithm>
#include <functional>

namespace kamelo::imaging {

// Runs body(first, end) over consecutive bands of [0, count) on every core
// (the calling thread takes one band). Bands are at least minPerBand long,
// so small pictures stay on one thread.
void forBands(int count, const std::function<void(int first, int end)>& body, int minPerBand = 64);

// Hands a picture decoded whole to options.onRows band by band, for
// decoders that get no rows earlier; a band answered with less than 1 ends
// the load with that answer.
inline int reportBands(const Bitmap& bitmap, const LoadOptions& options) {
    if (!options.onRows)
        return result::kSuccess;
    const int band = std::max(1, options.bandRows);
    for (int first = 0; first < bitmap.height(); first += band) {
        const int rc = options.onRows(bitmap, first, std::min(band, bitmap.height() - first), 0);
        if (rc < 1)
            return rc;
    }
    return result::kSuccess;
}

} // namespace kamelo::imaging
