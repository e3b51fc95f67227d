#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kamelo {

// The thumbnail images of one folder, all of one size, 24-bit blue-green-red,
// top-down rows without padding (width * 3 bytes each).
struct ThumbImageList {
    int width = 0;
    int height = 0;
    std::vector<std::vector<uint8_t>> images;

    size_t imageBytes() const { return size_t(width) * 3 * size_t(height); }
};

// The folder cache's image file (".cac") in the image-list stream layout: an
// "IL" header (version, count, capacity, grow, width, height, background,
// flags, overlays) followed by one uncompressed 24-bit BMP in which the
// images lie four to a row, bottom-up as BMPs are.
class ThumbImageListFile {
public:
    // Empty when the list cannot be written this way (more than 65535
    // images or a size beyond 16 bits).
    static std::vector<uint8_t> write(const ThumbImageList& list);
    // False (and the list emptied) when the bytes are not such a stream.
    static bool read(const uint8_t* data, size_t size, ThumbImageList& list);

    static bool writeFile(const std::string& path, const ThumbImageList& list);
    static bool readFile(const std::string& path, ThumbImageList& list);
};

} // namespace kamelo
