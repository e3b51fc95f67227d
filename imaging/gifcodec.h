#pragma once

#include "animation.h"
#include "core/filebytes.h"
#include "fileinfo.h"
#include "loadoptions.h"

namespace kamelo::imaging {

// GIF through giflib. Frames are composited as a viewer shows them: each
// drawn over the screen left by the previous one's disposal; the screen starts
// white (the flattened transparent background), and "restore to background"
// clears to white as well.
namespace gifcodec {
// Counts frames by walking the records without decompressing them.
int readInfo(ByteView bytes, FileInfo& info);
// The composited screen at frame options.page. The first frame with a
// scaleDenominator of 2, 4 or 8 comes reduced to 1/n (rounded up), each
// pixel the mean of its block, without ever making the whole screen.
int decode(ByteView bytes, const LoadOptions& options, Bitmap& out);
// Every frame that fits the animation budget, as whole screens or as
// patches on one screen (see AnimatedBitmap).
int decodeAnimation(ByteView bytes, AnimatedBitmap& out);
} // namespace gifcodec

} // namespace kamelo::imaging
