#pragma once

#include "imaging/core/filebytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kamelo::test::jxl {

// Sample JPEG XL files made once per run with ImageMagick, exiftool and
// cjxl; error says what failed (a missing tool fails the tests loudly).
struct Samples {
    std::string error;
    std::string halves;    // 64 x 48 lossless: left 0xC03020, right 0x2060A0
    std::string grey;      // 40 x 30 lossless grey 0x4D4D4D
    std::string alpha;     // 40 x 30 lossless: left opaque 0x00FF00, right transparent
    std::string greyAlpha; // 40 x 30 lossless grey: left opaque 0x4D4D4D, right transparent
    std::string photoJpeg; // 64 x 48 JPEG 0xC03020: orientation 6, date, make, model, exposure
    std::string photo;     // photoJpeg recompressed by cjxl (its Exif box kept)
    std::string tagged;    // halves with an uncompressed Exif box written by exiftool
    std::string
        animation;     // 32 x 24 lossless from a GIF looping 3 times: red, lime, blue; see kDelays
    std::string noise; // 400 x 300 lossless, for bands and cut files
    std::string flat;  // 3000 x 2000 white: about a hundred bytes asking for 6 MP
};
const Samples& samples();

inline constexpr int kDelays[3] = {200, 500, 1000};
inline constexpr uint32_t kFrameColours[3] = {0xFF0000, 0x00FF00, 0x0000FF};

// A two-frame animation (red, then blue, 16 x 8) written here with libjxl's
// encoder: cjxl keeps neither a GIF's loop count nor odd tick rates.
std::vector<uint8_t> encodedAnimation();
inline constexpr uint32_t kEncodedTps[2] = {30000, 1001}; // NTSC ticks
inline constexpr uint32_t kEncodedTicks[2] = {3, 30};
inline constexpr int kEncodedDelays[2] = {100, 1001}; // 100.1 and 1001 ms
inline constexpr uint32_t kEncodedLoops = 3;

// A tool's output on stdout.
std::string output(const std::string& command);
std::vector<uint8_t> bytesOf(const std::string& path);
inline imaging::ByteView viewOf(const std::vector<uint8_t>& v) {
    return {v.data(), v.size()};
}

} // namespace kamelo::test::jxl
