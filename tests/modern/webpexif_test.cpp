#include "imaging/modern/webpexif.h"

#include <gtest/gtest.h>

#include <string>

using kamelo::imaging::webpexif::orientation;

namespace {

// One IFD0 entry (tag, type, count, value) after an 8-byte header.
std::string tiff(bool little, unsigned tag, unsigned type, unsigned count, unsigned value,
                 unsigned ifd = 8) {
    auto u16 = [&](unsigned v) {
        return little ? std::string{char(v), char(v >> 8)} : std::string{char(v >> 8), char(v)};
    };
    auto u32 = [&](unsigned v) { return little ? u16(v) + u16(v >> 16) : u16(v >> 16) + u16(v); };
    return (little ? "II" : "MM") + u16(42) + u32(ifd) + u16(1) + u16(tag) + u16(type) +
           u32(count) + u16(value) + u16(0) + u32(0);
}

struct ExifCase {
    const char* name;
    std::string block;
    int expected;
};

TEST(WebPExif, OrientationOfIfd0) {
    const ExifCase cases[] = {
        {"little-endian", tiff(true, 0x112, 3, 1, 6), 6},
        {"big-endian", tiff(false, 0x112, 3, 1, 8), 8},
        {"with Exif prefix", std::string("Exif\0\0", 6) + tiff(true, 0x112, 3, 1, 3), 3},
        {"other tag", tiff(true, 0x110, 3, 1, 6), 1},
        {"value out of range", tiff(true, 0x112, 3, 1, 9), 1},
        {"wrong type", tiff(true, 0x112, 4, 1, 6), 1},
        {"IFD beyond the end", tiff(true, 0x112, 3, 1, 6, 0xFFFFFFF0u), 1},
        {"cut entry", tiff(true, 0x112, 3, 1, 6).substr(0, 16), 1},
        {"not TIFF", "JUNKJUNKJUNKJUNK", 1},
        {"empty", "", 1},
    };
    for (const ExifCase& c : cases)
        EXPECT_EQ(orientation(reinterpret_cast<const uint8_t*>(c.block.data()), c.block.size()),
                  c.expected)
            << c.name;
}

} // namespace
