#pragma once

#include "imaging/animation.h"
#include "imaging/bitmap.h"
#include "imaging/core/filebytes.h"

// Animated WebP files composed frame by frame on their canvas.
namespace kamelo::imaging::webpanimation {

// The canvas as it stands after frame page, flattened onto white.
int decodeFrame(ByteView bytes, int page, Bitmap& out);
// Every frame that fits the animation budget, as whole screens or as
// patches on one screen, whichever keeps more (as GIF animations are held).
int decodeAll(ByteView bytes, AnimatedBitmap& out);
// How often the animation plays (0: without end).
int loopCount(ByteView bytes, int& loops);

} // namespace kamelo::imaging::webpanimation
