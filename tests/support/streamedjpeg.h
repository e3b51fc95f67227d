#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kamelo::test {

// Fills one row of RGB (3 bytes a pixel); rows are asked for in order, in
// one buffer that still holds the row before (a row that repeats is left).
using RgbRowMaker = std::function<void(int y, uint8_t* rgb)>;

// Writes a width x height baseline JPEG a row at a time, so that a
// gigapixel picture is never held whole; the file appears under its name
// only when complete (a run cut short leaves no half picture to reuse).
// False when it could not be written.
bool writeStreamedJpeg(const std::string& path, int width, int height, int quality,
                       const RgbRowMaker& row);

} // namespace kamelo::test
