#pragma once

#include "skindefinition.h"

#include <cstdint>
#include <vector>

namespace kamelo::frames {

enum class SkinFault {
    None,
    Invalid,  // a number the frame cannot be drawn with
    TooLarge, // the framed canvas would exceed the pixel limit
};

// Whether the skin can be drawn from a bitmap of the given size: every
// margin and piece size positive, the picture's corner inside the margins,
// every piece (and the special rectangle of "attach_on_top") inside the
// bitmap.
SkinFault checkSkin(const SkinDefinition& skin, int bitmapWidth, int bitmapHeight);

// The copies that make a framed canvas, in drawing order.
struct PieceCopy {
    enum class Kind {
        TopLeft,
        Top,
        TopRight,
        Left,
        BottomLeft,
        Bottom,
        Right,
        BottomRight,
        Picture, // the source rectangle is the whole picture
        Special,
    };
    Kind kind = Kind::TopLeft;
    int sx = 0, sy = 0, width = 0, height = 0; // source rectangle
    int dx = 0, dy = 0;                        // destination on the canvas
};

struct FrameLayout {
    int canvasWidth = 0;
    int canvasHeight = 0;
    std::vector<PieceCopy> copies;
};

// The most copies one canvas may take; a skin of one-pixel pieces round a
// very long picture is refused rather than listed.
inline constexpr int64_t kMaxPieceCopies = int64_t(1) << 21;

// Lays out the frame of a checked skin (checkSkin gave None) round a
// picture of pictureWidth x pictureHeight. Each edge is tiled from its own
// corners with whole pieces, one more than fits between them; what hangs
// over is drawn over by the next corner or clipped by the canvas. TooLarge
// when the canvas would hold more than maxPixels pixels or more than
// kMaxPieceCopies copies.
SkinFault layOut(const SkinDefinition& skin, int bitmapWidth, int bitmapHeight, int pictureWidth,
                 int pictureHeight, int64_t maxPixels, FrameLayout& layout);

} // namespace kamelo::frames
