#pragma once

#include "imaging/bitmap.h"
#include "imaging/colour/iccprofile.h"
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
// At the colour event, after preferSrgb: the colour space of the pixels
// libjxl will give; null for sRGB or when it cannot be told.
colour::ProfilePtr pixelProfile(JxlDecoder* dec, const JxlBasicInfo& basic, size_t fileBytes);
// The 8-bit channels asked of libjxl: grey or RGB, with alpha when present.
int channelsFor(const JxlBasicInfo& basic);
// The file's own depth: every channel's bits, alpha included.
int sourceBitsOf(const JxlBasicInfo& basic);

// Takes a frame's pixels from libjxl into a 24-bit bitmap without a
// full-size copy in libjxl's layout. RGB goes straight into the bitmap's
// rows (libjxl's own conversion is the fastest) and has red and blue
// exchanged at the end; grey and alpha come in pieces of rows, from several
// threads, converted (alpha laid over white) as they arrive.
class PixelSink {
public:
    // channels: 1 grey, 2 grey + alpha, 3 RGB, 4 RGBA, 8 bits each.
    void start(Bitmap& target, int channels);
    // Sends the current frame's pixels here.
    bool attach(JxlDecoder* dec);
    // Puts the frame's pixels in the bitmap's order once libjxl is done.
    void finish();

private:
    static void receive(void* opaque, size_t x, size_t y, size_t count, const void* pixels);

    Bitmap* target_ = nullptr;
    int channels_ = 3;
    bool direct_ = false; // RGB written by libjxl into the bitmap
};

} // namespace kamelo::imaging::jxl
