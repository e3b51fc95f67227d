#pragma once

#include "bitmap.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kamelo::imaging {

// The EXIF orientation (1-8) says how the stored rows must be turned for the
// picture to stand upright. One rule, used by every reader that shows a
// picture: mirror left to right first when asked, then turn clockwise by
// the given number of quarter turns.
class Orientation {
public:
    static constexpr int kUpright = 1;

    struct Steps {
        bool mirror = false;  // left column becomes the right column
        int quarterTurns = 0; // clockwise, 0-3
    };

    // The steps for an orientation value; values outside 1-8 need none.
    static Steps stepsFor(int orientation);
    // True for 5-8: the upright picture has width and height swapped.
    static bool swapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }
    // The orientation a file's pixels are stored in: a JPEG's or WebP's
    // EXIF tag, a HEIF's rotation and mirror boxes, a JPEG XL codestream's
    // or a RAW file's own value. 1-8, or 1 when the file has none, a value
    // outside 1-8, or is in another format (libtiff already turns TIFF rows
    // by the same tag as it reads them) or no regular file.
    static int read(const std::string& path);
    // The same from the comment bytes FileComments gives for kOrientation.
    static int fromBytes(const std::vector<uint8_t>& bytes);
    // Turns the bitmap upright. Returns 1 or an error code (the bitmap is
    // then as it was).
    static int makeUpright(Bitmap& bitmap, int orientation);
};

} // namespace kamelo::imaging
