#include "gifentry.h"

#include "imaging/gifcodec.h"

#include <cstring>

namespace kamelo::fuzz {

int gif(const uint8_t* data, size_t size) {
    using namespace kamelo::imaging;
    // The logical screen, as giflib reads it, decides the size of every frame.
    if (size >= 10 && !withinPixelBudget(data[6] | data[7] << 8, data[8] | data[9] << 8))
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
    const Bitmap& first = animation.frame(0).bitmap;
    unsigned sum = 0;
    for (int i = 0; i < animation.frameCount(); ++i) {
        const Bitmap& b = animation.frame(i).bitmap;
        if (!b.isAllocated() || b.width() != first.width() || b.height() != first.height())
            __builtin_trap(); // every frame is the whole screen
        for (int y = 0; y < b.height(); ++y)
            sum += b.row(y)[0] + b.row(y)[b.width() * 3 - 1];
    }

    // One frame alone is composited exactly as the animation showed it.
    const int last = animation.frameCount() - 1;
    LoadOptions options;
    options.page = last;
    Bitmap single;
    if (gifcodec::decode(bytes, options, single) >= 1) {
        const Bitmap& shown = animation.frame(last).bitmap;
        if (single.width() != shown.width() || single.height() != shown.height())
            __builtin_trap();
        for (int y = 0; y < shown.height(); ++y)
            if (std::memcmp(single.row(y), shown.row(y), size_t(shown.width()) * 3) != 0)
                __builtin_trap();
    }
    return int(sum & 1);
}

} // namespace kamelo::fuzz
