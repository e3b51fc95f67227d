#pragma once

#include "imaging/animation.h"
#include "imaging/bitmap.h"
#include "imaging/core/filebytes.h"
#include "imaging/fileinfo.h"
#include "imaging/loadoptions.h"
#include "imaging/modern/embeddedmetadata.h"

#include <string>
#include <vector>

// WebP through libwebp: still pictures and animations.
namespace kamelo::imaging::webpcodec {

int readInfo(ByteView bytes, FileInfo& info);
// A still picture, or an animation's first frame; bands to options.onRows.
int decode(ByteView bytes, const LoadOptions& options, Bitmap& out);
// Every frame as the GIF player takes them, within the animation budget.
int decodeAnimation(ByteView bytes, AnimatedBitmap& out);
// How often an animation plays (0: without end, as for a still picture).
int readLoopCount(ByteView bytes, int& loops);
// The orientation (1-8) of the file's EXIF chunk; 1 when none.
int readOrientation(const std::string& path);
// A WebP file of pixels: lossy at quality 0..99, lossless at 100; metadata kept.
int encode(const Bitmap& pixels, int quality, const EmbeddedMetadata& metadata,
           std::vector<uint8_t>& out);

} // namespace kamelo::imaging::webpcodec
