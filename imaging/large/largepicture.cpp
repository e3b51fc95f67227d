#include "imaging/large/largepicture.h"

#include "imaging/core/filebytes.h"
#include "imaging/large/jpegreader.h"
#include "imaging/large/pngreader.h"
#include "imaging/large/request.h"
#include "imaging/large/tiffreader.h"
#include "imaging/result.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace kamelo::imaging::large {

namespace {

Kind kindOf(const uint8_t* b, size_t n) {
    if (n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF)
        return Kind::Jpeg;
    if (n >= 8 && std::memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0)
        return Kind::Png;
    if (n >= 4 && ((b[0] == 'I' && b[1] == 'I' && (b[2] == 42 || b[2] == 43) && b[3] == 0) ||
                   (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && (b[3] == 42 || b[3] == 43))))
        return Kind::Tiff;
    return Kind::None;
}

int kindOf(const std::string& path, Kind& kind) {
    int fd = -1;
    if (const int rc = openRegularFile(path, fd); rc != result::kSuccess)
        return rc;
    uint8_t head[8] = {};
    const ssize_t n = ::pread(fd, head, sizeof head, 0);
    ::close(fd);
    kind = kindOf(head, n > 0 ? size_t(n) : 0);
    return kind == Kind::None ? result::kUnknownFormat : result::kSuccess;
}

int decode(Kind kind, const std::string& path, const Request& r, Bitmap& out) {
    switch (kind) {
    case Kind::Jpeg:
        return decodeJpeg(path, r, out);
    case Kind::Png:
        return decodePng(path, r, out);
    case Kind::Tiff:
        return decodeTiff(path, r, out);
    case Kind::None:
        break;
    }
    return result::kUnknownFormat;
}

int decodeAt(const std::string& path, const PictureSize& size, Rect source, int denominator,
             Bitmap& out, const Watch& watch = {}) {
    out.free();
    out.setResolution(96, 96); // unless the file says otherwise
    if (denominator < 1)
        return result::kInvalidParameter;
    const Request r{source, scaledSide(source.width, denominator),
                    scaledSide(source.height, denominator), watch};
    if (!fits(r, size.width, size.height))
        return result::kInvalidParameter;
    if (int64_t(r.outWidth) * r.outHeight > kMaxPixels)
        return result::kTooLarge;
    const int rc = decode(size.kind, path, r, out);
    if (rc < 1)
        out.free();
    return rc;
}

} // namespace

int readSize(const std::string& path, PictureSize& out) {
    return withoutThrowing([&]() -> int {
        out = {};
        Kind kind = Kind::None;
        if (const int rc = kindOf(path, kind); rc != result::kSuccess)
            return rc;
        int w = 0, h = 0;
        const int rc = kind == Kind::Jpeg  ? jpegSize(path, w, h)
                       : kind == Kind::Png ? pngSize(path, w, h)
                                           : tiffSize(path, w, h);
        if (rc < 1)
            return rc;
        out = {kind, w, h};
        return result::kSuccess;
    });
}

int scaledSide(int side, int denominator) {
    return denominator > 1 ? static_cast<int>((int64_t(side) + denominator - 1) / denominator)
                           : side;
}

namespace {

int64_t scaledArea(int width, int height, int denominator) {
    return int64_t(scaledSide(width, denominator)) * scaledSide(height, denominator);
}

} // namespace

bool tooLargeWhole(int width, int height, int denominator) {
    return scaledArea(width, height, std::max(1, denominator)) > kMaxPixels;
}

int denominatorWithin(int width, int height, int atLeast) {
    int n = std::max(1, atLeast);
    // The area falls with the square of n: a few hundred steps at most.
    while (scaledArea(width, height, n) > kMaxScaledPixels)
        ++n;
    return n;
}

int fittedDenominator(int width, int height, int maxWidth, int maxHeight) {
    if (width <= 0 || height <= 0 || maxWidth <= 0 || maxHeight <= 0)
        return 1;
    // The smallest n with ceil(side / n) <= max is ceil(side / max).
    const auto needed = [](int side, int max) { return (side + max - 1) / max; };
    return std::max({1, needed(width, maxWidth), needed(height, maxHeight)});
}

int decodeFitted(const std::string& path, int maxWidth, int maxHeight, Bitmap& out) {
    return withoutThrowing([&]() -> int {
        PictureSize size;
        if (const int rc = readSize(path, size); rc < 1)
            return rc;
        if (maxWidth <= 0 || maxHeight <= 0)
            return result::kInvalidParameter;
        const int n = fittedDenominator(size.width, size.height, maxWidth, maxHeight);
        return decodeAt(path, size, {0, 0, size.width, size.height}, n, out);
    });
}

int decodeScaled(const std::string& path, int denominator, Bitmap& out, const Watch& watch) {
    return withoutThrowing([&]() -> int {
        PictureSize size;
        if (const int rc = readSize(path, size); rc < 1)
            return rc;
        return decodeAt(path, size, {0, 0, size.width, size.height}, denominator, out, watch);
    });
}

int decodeWithin(const std::string& path, int atLeast, Bitmap& out) {
    return withoutThrowing([&]() -> int {
        PictureSize size;
        if (const int rc = readSize(path, size); rc < 1)
            return rc;
        const Rect whole{0, 0, size.width, size.height};
        const int n = denominatorWithin(size.width, size.height, atLeast);
        const int rc = decodeAt(path, size, whole, n, out);
        // Only the first pass of an interlaced PNG is read alone.
        if (rc == result::kTooLarge && size.kind == Kind::Png && n < 8)
            return decodeAt(path, size, whole, 8, out);
        return rc;
    });
}

int decodeRegion(const std::string& path, Rect source, int denominator, Bitmap& out) {
    return withoutThrowing([&]() -> int {
        PictureSize size;
        if (const int rc = readSize(path, size); rc < 1)
            return rc;
        return decodeAt(path, size, source, denominator, out);
    });
}

void closeWaitingDecoders() {
    forgetParkedDecoders();
}

} // namespace kamelo::imaging::large
