#include "gifentry.h"

#include "imaging/gifcodec.h"

#include <cstring>

namespace kamelo::fuzz {

namespace {

// Walks the records as giflib does and checks every frame against the pixel
// budget: giflib allocates (and clears) each frame's raster at its declared
// size, whatever the screen, so one large frame costs as much as a large
// screen.
bool framesWithinBudget(const uint8_t* d, size_t n) {
    if (n < 13)
        return true;
    size_t p = 13;
    if (d[10] & 0x80)
        p += size_t(3) << ((d[10] & 7) + 1);
    auto skipBlocks = [&] {
        while (p < n && d[p] != 0)
            p += size_t(d[p]) + 1;
        ++p;
    };
    while (p < n) {
        const uint8_t type = d[p++];
        if (type == 0x21) { // extension: label, then sub-blocks
            // giflib reads one more block size after an empty first block.
            ++p;
            if (p < n && d[p] == 0)
                ++p;
            skipBlocks();
        } else if (type == 0x2C) { // image descriptor
            if (p + 9 > n)
                return true;
            if (!withinPixelBudget(d[p + 4] | d[p + 5] << 8, d[p + 6] | d[p + 7] << 8))
                return false;
            const uint8_t flags = d[p + 8];
            p += 9;
            if (flags & 0x80)
                p += size_t(3) << ((flags & 7) + 1);
            ++p; // LZW code size
            skipBlocks();
        } else {
            return true; // the trailer, or a record giflib stops at
        }
    }
    return true;
}

} // namespace

int gif(const uint8_t* data, size_t size) {
    using namespace kamelo::imaging;
    // The logical screen, as giflib reads it, decides the size of every frame.
    if (size >= 10 && !withinPixelBudget(data[6] | data[7] << 8, data[8] | data[9] << 8))
        return 0;
    if (pixelBudget() > 0 && !framesWithinBudget(data, size))
        return 0;
    const ByteView bytes{data, size};
    FileInfo info;
    gifcodec::readInfo(bytes, info);

    AnimatedBitmap animation;
    const int rc = gifcodec::decodeAnimation(bytes, animation);
    if (rc < 1)
        return 0;
    if (animation.empty())
        __builtin_trap(); // success must come with a frame
    // Played through once, whether the frames are whole screens or
    // patches: every step shows the whole screen.
    Bitmap shown;
    animation.present(shown);
    const int width = shown.width(), height = shown.height();
    unsigned sum = 0;
    for (int i = 0; i < animation.frameCount(); ++i) {
        if (i > 0)
            animation.advance(shown, true);
        if (!shown.isAllocated() || shown.width() != width || shown.height() != height)
            __builtin_trap();
        for (int y = 0; y < shown.height(); ++y)
            sum += shown.row(y)[0] + shown.row(y)[shown.width() * 3 - 1];
    }

    // One frame alone is composited exactly as the animation showed it.
    const int last = animation.frameCount() - 1;
    LoadOptions options;
    options.page = last;
    Bitmap single;
    if (gifcodec::decode(bytes, options, single) >= 1) {
        if (single.width() != shown.width() || single.height() != shown.height())
            __builtin_trap();
        for (int y = 0; y < shown.height(); ++y)
            if (std::memcmp(single.row(y), shown.row(y), size_t(shown.width()) * 3) != 0)
                __builtin_trap();
    }
    return int(sum & 1);
}

} // namespace kamelo::fuzz
