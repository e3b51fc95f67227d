#include "profilescan.h"

#include <cstring>

namespace kamelo::imaging::colour::scan {

namespace {

uint32_t le32(const uint8_t* p) {
    return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool isType(const uint8_t* p, const char* type) {
    return std::memcmp(p, type, 4) == 0;
}

} // namespace

Found webp(const uint8_t* data, size_t size) {
    Found found;
    if (!data || size < 20 || !isType(data, "RIFF") || !isType(data + 8, "WEBP"))
        return found;
    // Chunks belong to the RIFF container as it declares itself.
    const uint64_t riffEnd = uint64_t(le32(data + 4)) + 8;
    const uint64_t stop = riffEnd < size ? riffEnd : size;
    // Only the extended layout (a VP8X chunk first) may carry a profile.
    if (!isType(data + 12, "VP8X"))
        return found;
    uint64_t at = 12;
    bool ended = false;
    // Each chunk moves on by at least its 8 bytes of framing.
    while (stop >= at + 8) {
        const uint8_t* chunk = data + at;
        const uint64_t length = le32(chunk + 4);
        if (isType(chunk, "VP8 ") || isType(chunk, "VP8L") || isType(chunk, "ANMF") ||
            isType(chunk, "ALPH")) {
            ended = true; // the profile comes before the picture
            break;
        }
        if (length > stop - at - 8)
            break;
        if (isType(chunk, "ICCP")) {
            found.icc.assign(chunk + 8, chunk + 8 + length);
            found.kind = Found::Kind::Icc;
            return found;
        }
        at += 8 + length + (length & 1);
    }
    found.needMore = !ended && riffEnd > size;
    return found;
}

} // namespace kamelo::imaging::colour::scan
