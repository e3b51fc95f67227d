#pragma once

#include "imaging/bitmap.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kamelo::imaging::large {

// Pictures too large for one bitmap (JPEG, PNG and TIFF of hundreds of
// megapixels up to several gigapixels) read straight from their files into
// a bounded bitmap: scaled down as a whole, or a region of them at a scale.
// The file is never read into memory whole; what a decode holds beside its
// result is bounded by kWorkBudget (request.h). Declared sizes are checked
// against what the file can encode (plausibility.h) before anything else.

enum class Kind { None, Jpeg, Png, Tiff };

struct PictureSize {
    Kind kind = Kind::None;
    int width = 0;
    int height = 0;
};

// The kind by the file's first bytes and the size from its header.
// kUnknownFormat for anything else.
int readSize(const std::string& path, PictureSize& out);

// Whether a width x height picture is too large to decode whole at
// 1/denominator into one bitmap (above kMaxPixels, bitmap.h).
bool tooLargeWhole(int width, int height, int denominator);
// What such a picture is given when it is loaded whole anyway (a
// thumbnail, a print, the viewer's first look): a 64-megapixel bitmap
// (192 MB) is far more than a screen shows, and the viewer reads regions
// of the full-size picture when zoomed in.
inline constexpr int64_t kMaxScaledPixels = int64_t(1) << 26;
// The smallest denominator N >= atLeast at which a width x height picture
// fits kMaxScaledPixels.
int denominatorWithin(int width, int height, int atLeast);
// The smallest N whose 1/N picture (sides rounded up) fits maxWidth x
// maxHeight: the largest such picture. 1 when it fits already.
int fittedDenominator(int width, int height, int maxWidth, int maxHeight);
// A side of `side` pixels at 1/denominator, rounded up.
int scaledSide(int side, int denominator);

// The whole picture at the largest 1/N that fits the box.
int decodeFitted(const std::string& path, int maxWidth, int maxHeight, Bitmap& out);
// Told how far a decode is (percent, now and then); false stops it, which
// then ends with kAborted and no picture.
using Watch = std::function<bool(int percent)>;

// The whole picture at 1/denominator (sides rounded up).
int decodeScaled(const std::string& path, int denominator, Bitmap& out, const Watch& watch = {});
// The whole picture at the smallest 1/N (N >= atLeast) within
// kMaxScaledPixels that the file can be read at in bounded memory: an
// interlaced PNG whose whole picture exceeds the budget comes from its
// first pass, at 1/8 or less.
int decodeWithin(const std::string& path, int atLeast, Bitmap& out);
// The part source (full-size pixels, inside the picture) at 1/denominator:
// scaledSide(source.width) x scaledSide(source.height) pixels.
int decodeRegion(const std::string& path, Rect source, int denominator, Bitmap& out);
// Lets go of the decoders kept to carry on below their last region (the
// picture they read was closed).
void closeWaitingDecoders();

} // namespace kamelo::imaging::large
