#include "fitsize.h"

#include <cstdint>

namespace kamelo {

FitSize fitSize(int width, int height, int boxWidth, int boxHeight) {
    if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0)
        return {};
    // boxHeight / boxWidth >= height / width
    if (int64_t(boxHeight) * width >= int64_t(height) * boxWidth)
        return {boxWidth, int(int64_t(boxWidth) * height / width)};
    return {int(int64_t(boxHeight) * width / height), boxHeight};
}

} // namespace kamelo
