#include "plausibility.h"

namespace kamelo::imaging::plausibility {

bool plausible(int64_t width, int64_t height, size_t fileBytes, int64_t pixelsPerByte) {
    if (width <= 0 || height <= 0)
        return false;
    const int64_t pixels = width * height; // both fit in 32 bits
    if (pixels <= kAlwaysPlausible)
        return true;
    const int64_t bytes = static_cast<int64_t>(fileBytes);
    return pixels / pixelsPerByte <= bytes;
}

} // namespace kamelo::imaging::plausibility
