#pragma once

#include <string>

namespace kamelo::bench {

// Writes a DNG of a rawWidth x rawHeight sensor whose preview is the given
// JPEG file, as cameras embed a photograph's JPEG beside the sensor data
// (the test writer's previews are of one flat colour). False on failure.
bool writeDngWithPreview(const std::string& path, int rawWidth, int rawHeight,
                         const std::string& previewJpeg);

} // namespace kamelo::bench
