#include "webpexif.h"

#include <cstring>

namespace kamelo::imaging::webpexif {

namespace {

struct TiffReader {
    const uint8_t* data;
    size_t size;
    bool little;

    bool fits(size_t offset, size_t bytes) const {
        return offset <= size && bytes <= size - offset;
    }
    unsigned u16(size_t at) const {
        return little ? unsigned(data[at]) | unsigned(data[at + 1]) << 8
                      : unsigned(data[at]) << 8 | unsigned(data[at + 1]);
    }
    uint32_t u32(size_t at) const {
        return little ? uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16
                      : uint32_t(u16(at)) << 16 | uint32_t(u16(at + 2));
    }
};

constexpr unsigned kOrientationTag = 0x0112;
constexpr unsigned kShort = 3;

} // namespace

int orientation(const uint8_t* data, size_t size) {
    if (!data)
        return 1;
    // Some writers keep the APP1 marker's "Exif\0\0" in the chunk.
    if (size >= 6 && std::memcmp(data, "Exif\0\0", 6) == 0) {
        data += 6;
        size -= 6;
    }
    if (size < 8)
        return 1;
    TiffReader r{data, size, data[0] == 'I'};
    if (!((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M')) ||
        r.u16(2) != 42)
        return 1;
    const size_t ifd = r.u32(4);
    if (!r.fits(ifd, 2))
        return 1;
    const unsigned entries = r.u16(ifd);
    for (unsigned i = 0; i < entries; ++i) {
        const size_t at = ifd + 2 + size_t(i) * 12;
        if (!r.fits(at, 12))
            return 1;
        if (r.u16(at) != kOrientationTag)
            continue;
        if (r.u16(at + 2) != kShort || r.u32(at + 4) < 1)
            return 1;
        const unsigned value = r.u16(at + 8);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

} // namespace kamelo::imaging::webpexif
