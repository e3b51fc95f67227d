#include "profilescan.h"

#include <cstring>

namespace kamelo::imaging::colour::scan {

namespace {

constexpr uint16_t kIccResource = 1039;
constexpr size_t kHeaderBytes = 26;

uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// The signatures Photoshop and its neighbours give image resources.
bool isResourceSignature(const uint8_t* p) {
    for (const char* s : {"8BIM", "MeSa", "AgHg", "PHUT", "DCSR"})
        if (std::memcmp(p, s, 4) == 0)
            return true;
    return false;
}

} // namespace

Found psd(const uint8_t* data, size_t size) {
    Found found;
    if (!data || size < kHeaderBytes + 4 || std::memcmp(data, "8BPS", 4) != 0)
        return found;
    const unsigned version = unsigned(data[4]) << 8 | data[5];
    if (version != 1 && version != 2)
        return found;
    // The colour mode data (a palette, duotone settings) comes first.
    const uint64_t modeData = be32(data + kHeaderBytes);
    const uint64_t resourcesAt = kHeaderBytes + 4 + modeData;
    if (resourcesAt + 4 > size) {
        found.needMore = true;
        return found;
    }
    const uint64_t sectionSize = be32(data + resourcesAt);
    const uint64_t begin = resourcesAt + 4;
    const uint64_t end = begin + sectionSize;
    found.needMore = end > size;
    const uint64_t stop = end < size ? end : size;
    uint64_t at = begin;
    // Each resource takes at least 12 bytes, so the walk ends.
    while (stop - at >= 12) {
        const uint8_t* r = data + at;
        if (!isResourceSignature(r))
            break;
        const uint16_t id = uint16_t(r[4] << 8 | r[5]);
        // A Pascal name, padded so that with its length byte it is even.
        const uint64_t nameBytes = (uint64_t(r[6]) + 2) & ~uint64_t(1);
        const uint64_t sizeAt = at + 6 + nameBytes;
        if (sizeAt + 4 > stop)
            break;
        const uint64_t dataSize = be32(data + sizeAt);
        const uint64_t dataAt = sizeAt + 4;
        // Data must lie inside the section it belongs to.
        if (dataSize > stop - dataAt)
            break;
        if (id == kIccResource) {
            found.icc.assign(data + dataAt, data + dataAt + dataSize);
            found.kind = Found::Kind::Icc;
            found.needMore = false;
            return found;
        }
        at = dataAt + dataSize + (dataSize & 1);
        if (at > stop)
            break;
    }
    return found;
}

} // namespace kamelo::imaging::colour::scan
