#include "modernsupport.h"

#include "fuzzentries.h"

#include <sys/mman.h>
#include <unistd.h>

namespace kamelo::fuzz::modern {

using namespace kamelo::imaging;

unsigned touch(const Bitmap& b) {
    if (!b.isAllocated() || b.width() <= 0 || b.height() <= 0)
        __builtin_trap(); // a reader's success must come with a picture
    unsigned sum = 0;
    for (int y = 0; y < b.height(); ++y)
        sum += b.row(y)[0] + b.row(y)[b.width() * 3 - 1];
    return sum;
}

unsigned decodeAt(ByteView bytes, int scale, DecodeFn decode) {
    LoadOptions options;
    options.scaleDenominator = scale;
    unsigned sum = 0;
    options.onRows = [&sum](const Bitmap& b, int first, int count, int) {
        if (first < 0 || count < 0 || first + count > b.height())
            __builtin_trap();
        for (int y = first; y < first + count; ++y)
            sum += b.row(y)[0] + b.row(y)[b.width() * 3 - 1];
        return 1;
    };
    Bitmap out;
    if (decode(bytes, options, out) >= 1)
        sum += touch(out);
    return sum;
}

namespace {

// The readers that take a path get the input through an in-memory file,
// which is regular as the readers require and costs no disk.
std::string asPath(const uint8_t* data, size_t size) {
    static const int fd = ::memfd_create("kamelo-fuzz", MFD_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, 0) != 0)
        return {};
    for (size_t done = 0; done < size;) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, off_t(done));
        if (n <= 0)
            return {};
        done += size_t(n);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

} // namespace

void checkOrientation(int (*readOrientation)(const std::string&), const uint8_t* data,
                      size_t size) {
    const std::string path = asPath(data, size);
    if (path.empty())
        return;
    const int o = readOrientation(path);
    if (o > 8)
        __builtin_trap(); // an orientation is 1..8 or an error code
}

unsigned playAnimation(ByteView bytes, int (*decodeAnimation)(ByteView, AnimatedBitmap&)) {
    AnimatedBitmap animation;
    if (decodeAnimation(bytes, animation) < 1)
        return 0;
    if (animation.empty())
        __builtin_trap(); // success must come with a frame
    // Played through once: every step shows a whole screen of one size.
    Bitmap shown;
    animation.present(shown);
    const int width = shown.width(), height = shown.height();
    unsigned sum = touch(shown);
    for (int i = 1; i < animation.frameCount(); ++i) {
        animation.advance(shown, true);
        if (shown.width() != width || shown.height() != height)
            __builtin_trap();
        sum += touch(shown);
        if (animation.frame(i).delayMs < 0)
            __builtin_trap();
    }
    return sum;
}

bool readHeader(ByteView bytes, int (*readInfo)(ByteView, FileInfo&)) {
    FileInfo info;
    if (readInfo(bytes, info) >= 1) {
        if (info.width <= 0 || info.height <= 0)
            __builtin_trap(); // a header read must give a size
        return withinPixelBudget(info.width, info.height);
    }
    return true; // a reader may still decode what its header read refused
}

unsigned sumBytes(const std::vector<uint8_t>& v) {
    unsigned sum = 0;
    for (uint8_t b : v)
        sum += b;
    return sum;
}

} // namespace kamelo::fuzz::modern
