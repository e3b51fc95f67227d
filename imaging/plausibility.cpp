#include "plausibility.h"

#include "result.h"

namespace kamelo::imaging::plausibility {

bool plausible(int64_t width, int64_t height, size_t fileBytes, int64_t pixelsPerByte) {
    if (width <= 0 || height <= 0)
        return false;
    if (width > kMaxSide || height > kMaxSide)
        return false;
    const int64_t pixels = width * height;
    if (pixels <= kAlwaysPlausible)
        return true;
    const int64_t bytes = static_cast<int64_t>(fileBytes);
    return pixels / pixelsPerByte <= bytes;
}

int checkDeclared(int64_t width, int64_t height, size_t fileBytes, int64_t pixelsPerByte) {
    if (width <= 0 || height <= 0)
        return result::kCorruptData;
    if (width > kMaxSide || height > kMaxSide)
        return result::kTooLarge;
    return plausible(width, height, fileBytes, pixelsPerByte) ? result::kSuccess
                                                              : result::kCorruptData;
}

int checkTiff(int64_t width, int64_t height, int compression, size_t fileBytes) {
    switch (compression) {
    case 1:
        return checkDeclared(width, height, fileBytes, kTiffUncompressedPixelsPerByte);
    case 32773:
        return checkDeclared(width, height, fileBytes, kTiffPackBitsPixelsPerByte);
    case 2:
    case 3:
    case 4: {
        // Fax rows: any width, but every row costs a bit.
        const int rc = checkDeclared(width, height, fileBytes, int64_t(1) << 40);
        if (rc != result::kSuccess)
            return rc;
        return width * height <= kAlwaysPlausible ||
                       height / kTiffFaxRowsPerByte <= static_cast<int64_t>(fileBytes)
                   ? result::kSuccess
                   : result::kCorruptData;
    }
    default:
        return checkDeclared(width, height, fileBytes, kTiffPixelsPerByte);
    }
}

} // namespace kamelo::imaging::plausibility
