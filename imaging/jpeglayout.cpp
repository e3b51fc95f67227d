#include "jpeglayout.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kamelo::imaging {

namespace {

// Where the k-th value of a table as stored (zigzag) sits in natural order.
constexpr int kNatural[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                              12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                              35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                              58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The example tables of the JPEG standard that libjpeg scales by quality.
constexpr int kLuminance[64] = {16,  11,  10,  16,  24, 40, 51,  61,  12,  12,  14,  19,  26,
                                58,  60,  55,  14,  13, 16, 24,  40,  57,  69,  56,  14,  17,
                                22,  29,  51,  87,  80, 62, 18,  22,  37,  56,  68,  109, 103,
                                77,  24,  35,  55,  64, 81, 104, 113, 92,  49,  64,  78,  87,
                                103, 121, 120, 101, 72, 92, 95,  98,  112, 100, 103, 99};
constexpr int kChrominance[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                  24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                  99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                  99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

int big16(const uint8_t* p) {
    return (p[0] << 8) | p[1];
}

// How far a table is from the standard one libjpeg makes at quality.
long distance(const std::array<uint16_t, 64>& table, const int* standard, int quality) {
    const long scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    long sum = 0;
    for (int i = 0; i < 64; ++i) {
        const long expected = std::clamp((standard[i] * scale + 50) / 100, 1L, 255L);
        sum += std::labs(long(table[size_t(i)]) - expected);
    }
    return sum;
}

} // namespace

bool JpegLayout::read(ByteView jpeg) {
    segments_.clear();
    hasTable_ = {};
    tableOf_.clear();
    progressive_ = false;
    const uint8_t* d = jpeg.data;
    if (!d || jpeg.size < 4 || d[0] != 0xFF || d[1] != 0xD8)
        return false;
    size_t pos = 2;
    while (pos + 4 <= jpeg.size) {
        if (d[pos] != 0xFF)
            return false;
        if (d[pos + 1] == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        const uint8_t marker = d[pos + 1];
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2;
            continue;
        }
        const size_t length = size_t(big16(d + pos + 2));
        if (length < 2 || pos + 2 + length > jpeg.size)
            return false;
        segments_.push_back({marker, pos, length + 2});
        const uint8_t* payload = d + pos + 4;
        const size_t payloadSize = length - 2;
        if (marker == 0xDA)
            return !tableOf_.empty();
        if (marker == 0xDB && !readTables(payload, payloadSize))
            return false;
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (!readFrame(payload, payloadSize))
                return false;
            progressive_ = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
        }
        pos += 2 + length;
    }
    return false;
}

bool JpegLayout::readTables(const uint8_t* p, size_t size) {
    size_t at = 0;
    while (at < size) {
        const int precision = p[at] >> 4;
        const int id = p[at] & 0x0F;
        ++at;
        const size_t bytes = precision ? 128 : 64;
        if (id > 3 || precision > 1 || at + bytes > size)
            return false;
        for (int k = 0; k < 64; ++k)
            tables_[size_t(id)][size_t(kNatural[k])] =
                uint16_t(precision ? big16(p + at + 2 * size_t(k)) : p[at + size_t(k)]);
        hasTable_[size_t(id)] = true;
        at += bytes;
    }
    return true;
}

bool JpegLayout::readFrame(const uint8_t* p, size_t size) {
    if (size < 6)
        return false;
    const int count = p[5];
    if (count < 1 || size < 6 + 3 * size_t(count))
        return false;
    tableOf_.clear();
    for (int c = 0; c < count; ++c)
        tableOf_.push_back(p[6 + 3 * c + 2] & 0x03);
    return true;
}

const std::array<uint16_t, 64>* JpegLayout::tableFor(int component) const {
    if (component < 0 || size_t(component) >= tableOf_.size())
        return nullptr;
    const size_t id = size_t(tableOf_[size_t(component)]);
    return hasTable_[id] ? &tables_[id] : nullptr;
}

int JpegLayout::estimateQuality() const {
    const std::array<uint16_t, 64>* luma = tableFor(0);
    const std::array<uint16_t, 64>* chroma = components() >= 3 ? tableFor(1) : nullptr;
    if (!luma)
        return 0;
    int best = 0;
    long bestDistance = std::numeric_limits<long>::max();
    for (int q = 1; q <= 100; ++q) {
        long d = distance(*luma, kLuminance, q);
        if (chroma && chroma != luma)
            d += distance(*chroma, kChrominance, q);
        if (d <= bestDistance) { // a tie goes to the higher quality
            bestDistance = d;
            best = q;
        }
    }
    return best;
}

bool JpegLayout::named(ByteView jpeg, const Segment& s, const char* name, size_t length) {
    return s.size >= 4 + length && std::memcmp(jpeg.data + s.offset + 4, name, length) == 0;
}

} // namespace kamelo::imaging
