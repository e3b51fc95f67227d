#pragma once

#include "imaging/bitmap.h"
#include "imaging/loadoptions.h"

#include <jxl/decode.h>

namespace kamelo::imaging::jxl {

class Session;

// Sets a session up for pixels: kept as stored, on every core, colours not
// premultiplied by alpha.
bool preparePixels(Session& session);
// At the colour event: pictures coded in libjxl's own colour space (lossy
// ones) come out as sRGB; made from an ICC profile, libjxl would otherwise
// give them in linear light.
void preferSrgb(JxlDecoder* dec, const JxlBasicInfo& basic);
// The 8-bit channels asked of libjxl: grey or RGB, with alpha when present.
int channelsFor(const JxlBasicInfo& basic);
// The file's own depth: every channel's bits, alpha included.
int sourceBitsOf(const JxlBasicInfo& basic);

// Takes the pixels libjxl hands out (pieces of rows, from several threads,
// in the order its groups finish) straight into a 24-bit bitmap, with any
// alpha laid over white: no full-size copy in libjxl's layout is made.
class PixelSink {
public:
    // channels: 1 grey, 2 grey + alpha, 3 RGB, 4 RGBA, 8 bits each.
    void start(Bitmap& target, int channels);
    // Sends the current frame's pixels here.
    bool attach(JxlDecoder* dec);

private:
    static void receive(void* opaque, size_t x, size_t y, size_t count, const void* pixels);

    Bitmap* target_ = nullptr;
    int channels_ = 3;
};

// Reports a finished picture to options.onRows in bands of
// options.bandRows, top down. Returns 1, or the first code below 1 it gives.
int reportBands(const Bitmap& bitmap, const LoadOptions& options);

} // namespace kamelo::imaging::jxl
