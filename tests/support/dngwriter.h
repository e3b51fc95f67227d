#pragma once

#include <cstdint>
#include <string>

namespace kamelo::test {

// What a small test DNG holds: a Bayer (RGGB) sensor picture of one flat
// colour, an optional JPEG preview of another and the camera's tags.
struct DngOptions {
    int rawWidth = 64;
    int rawHeight = 48;
    // Linear 16-bit photosite values (black 0, white whiteLevel).
    uint16_t red = 3000;
    uint16_t green = 1200;
    uint16_t blue = 600;
    uint16_t whiteLevel = 4095;
    // 0 x 0: no preview at all.
    int previewWidth = 160;
    int previewHeight = 120;
    uint32_t previewRgb = 0x2060C0; // 0x00RRGGBB
    int orientation = 1;            // EXIF 1..8
    std::string make = "Kamelo";
    std::string model = "Test Camera";
};

// Writes a DNG: IFD0 holds the preview (when there is one) and the DNG
// tags, its SubIFD the sensor data; without a preview IFD0 is the sensor
// data itself. False when anything could not be written.
bool writeDng(const std::string& path, const DngOptions& options = {});

} // namespace kamelo::test
