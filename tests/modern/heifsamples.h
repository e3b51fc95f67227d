#pragma once

#include "imaging/bitmap.h"
#include "imaging/core/filebytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kamelo::test::heif {

// The four quarters of every 128 x 128 sample picture, 0x00RRGGBB.
inline constexpr uint32_t kTopLeft = 0xD02010, kTopRight = 0x1040C0;
inline constexpr uint32_t kBottomLeft = 0x20A040, kBottomRight = 0xE0C030;
inline constexpr int kSide = 128;
// A colour at half opacity, and what it shows over white.
inline constexpr const char* kHalf = "rgba(200,100,50,0.5)";
inline constexpr uint32_t kHalfOverWhite = 0xE4B299;

// What exiftool writes into the samples with metadata.
inline constexpr const char* kMake = "KameloCam";
inline constexpr const char* kModel = "K-7 Mark II";
inline constexpr const char* kDate = "2024:05:06 07:08:09";
inline constexpr const char* kExposure = "1/250";
inline constexpr const char* kTitle = "Harbour at dawn";

// Sample files made once per run with ImageMagick, heif-enc, avifenc and
// exiftool; error says what failed (a missing tool fails the tests).
struct Samples {
    std::string error;
    std::string dir;
    std::string picture;               // the 128 x 128 PNG the others are made from
    std::string heicLossless;          // HEVC, lossless RGB
    std::string avifLossless;          // AV1, lossless RGB
    std::string avifGrid;              // AV1, lossless, a 2 x 2 grid of 64 x 64 tiles
    std::string heic10;                // HEVC, 10 bits, lossless
    std::string avifAlpha;             // 64 x 48 lossless: left opaque kTopLeft, right transparent
    std::string avifHalf;              // 16 x 16 lossless kHalf at alpha 0.5, straight
    std::string avifHalfPremultiplied; // the same stored premultiplied
    std::string heicThumb;             // lossy with a 32 x 32 thumbnail
    std::string heicExif;              // heicLossless with EXIF (orientation 6, ...) and XMP
    std::string avifExif;              // avifLossless with the same
};
const Samples& samples();

// Runs a shell command; false (with what went wrong in error) when it fails.
bool run(const std::string& command, std::string& error);
// A command's standard output.
std::string output(const std::string& command);
std::string quote(const std::string& s);

std::vector<uint8_t> bytesOf(const std::string& path);
inline imaging::ByteView viewOf(const std::vector<uint8_t>& v) {
    return {v.data(), v.size()};
}
// The largest difference of any channel between two colours.
int channelDistance(uint32_t a, uint32_t b);
// The colour expected at a point of the sample picture.
uint32_t quarterColour(int x, int y, int width, int height);

} // namespace kamelo::test::heif
