#pragma once

#include "imaging/core/filebytes.h"

#include <jxl/decode.h>

namespace kamelo::imaging::jxl {

// What a file's headers say, read without decoding any pixels.
struct Header {
    JxlBasicInfo basic{}; // sizes as stored (the orientation not applied)
    int frames = 0;       // displayed frames: 1 for a still picture
};

// Reads the basic information and counts the displayed frames by walking
// over their headers. With checkLayers, also refuses (kTooLarge) a file
// with a layer larger than the picture budget or than its bytes could
// really describe: libjxl allocates a layer at its own size, whatever the
// picture's size says.
int scan(ByteView bytes, Header& out, bool checkLayers);

// Whether a file of fileBytes bytes may hold width x height pixels, and
// libjxl's working memory for them stays within the picture budget.
bool plausibleSize(int64_t width, int64_t height, size_t fileBytes);

// Milliseconds of a frame's duration in the animation's ticks.
int durationMs(uint32_t ticks, const JxlAnimationHeader& animation);

} // namespace kamelo::imaging::jxl
