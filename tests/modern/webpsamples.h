#pragma once

#include "imaging/core/filebytes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kamelo::test::webp {

// Sample WebP files made once per run with cwebp, img2webp and exiftool
// from pictures written here; error says what failed.
struct Samples {
    std::string error;
    std::string dir;
    std::string halvesLossless;                  // 64 x 48: left 0xC03020, right 0x2060A0
    std::string halvesLossy;                     // the same at quality 95
    std::string gradientLossless, gradientLossy; // 301 x 203: r = x, g = y, b = 128
    std::string alpha;     // 40 x 30 lossless: left opaque 0x00FF00, right transparent
    std::string animation; // 32 x 24 lossless, three frames (see kFrameColours), loop 3
    std::string disposing; // as animation, by webpmux, the blue square disposed to background
    std::string flashes;   // 32 x 24 lossless, red, blue, green screens of 40 ms
    std::string withExif;  // halvesLossy with orientation 6, date, make, model, exposure
};
const Samples& samples();

inline constexpr int kAnimationDelays[3] = {100, 250, 70};

// Runs a shell command; false (with what went wrong in error) when it fails.
bool run(const std::string& command, std::string& error);

std::vector<uint8_t> bytesOf(const std::string& path);
inline imaging::ByteView viewOf(const std::vector<uint8_t>& v) {
    return {v.data(), v.size()};
}

// Writes a binary PPM (alpha == false) or PAM with alpha of width x height
// from a function giving 0xAARRGGBB per pixel.
void writePicture(const std::string& path, int width, int height, bool alpha,
                  const std::function<uint32_t(int, int)>& argb);

} // namespace kamelo::test::webp
