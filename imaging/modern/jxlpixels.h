#pragma once

#include "imaging/bitmap.h"
#include "imaging/loadoptions.h"

#include <jxl/decode.h>

#include <atomic>
#include <memory>

namespace kamelo::imaging::jxl {

class Session;

// Sets a session up for pixels: kept as stored, on every core, colours not
// premultiplied by alpha.
bool preparePixels(Session& session);
// At the colour event: pictures coded in libjxl's own colour space (lossy
// ones) come out as sRGB, not the linear light libjxl would choose.
void preferSrgb(JxlDecoder* dec, const JxlBasicInfo& basic);
// The 8-bit channels asked of libjxl: grey or RGB, with alpha when present.
int channelsFor(const JxlBasicInfo& basic);
// The file's own depth: every channel's bits, alpha included.
int sourceBitsOf(const JxlBasicInfo& basic);

// Takes the pixels libjxl hands out (pieces of rows, from several threads,
// in the order its groups finish) straight into a 24-bit bitmap, with any
// alpha laid over white, and keeps count of the rows that are complete.
class PixelSink {
public:
    // channels: 1 grey, 2 grey + alpha, 3 RGB, 4 RGBA, 8 bits each.
    // Returns 1, or kNoMemory.
    int start(Bitmap& target, int channels);
    // Sends the current frame's pixels here.
    bool attach(JxlDecoder* dec);
    // Rows from the top whose every pixel has arrived.
    int finishedRows();

private:
    static void receive(void* opaque, size_t x, size_t y, size_t count, const void* pixels);

    Bitmap* target_ = nullptr;
    int channels_ = 3;
    std::unique_ptr<std::atomic<uint32_t>[]> filled_; // pixels arrived per row
    int finished_ = 0;
};

// Reports finished rows to options.onRows in bands of options.bandRows.
class BandReporter {
public:
    explicit BandReporter(const LoadOptions& options) : options_(options) {}
    // Reports the whole bands among the first `finished` rows (all of them
    // when they are the whole picture). Returns 1, or the callback's code.
    int report(const Bitmap& bitmap, int finished);

private:
    const LoadOptions& options_;
    int reported_ = 0;
};

} // namespace kamelo::imaging::jxl
