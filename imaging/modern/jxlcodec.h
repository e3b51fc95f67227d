#pragma once

#include "imaging/animation.h"
#include "imaging/bitmap.h"
#include "imaging/core/filebytes.h"
#include "imaging/fileinfo.h"
#include "imaging/loadoptions.h"

#include <string>
#include <vector>

// JPEG XL through libjxl: still pictures, animations and the Exif box.
namespace kamelo::imaging::jxlcodec {

// Sizes as stored; pageCount is the number of displayed frames.
int readInfo(ByteView bytes, FileInfo& info);
// The picture (an animation's frame options.page, the first by default) as
// stored, not turned by its orientation (readOrientation reports it). Bands
// go to options.onRows once the frame is complete: libjxl finishes its
// groups in no particular order.
int decode(ByteView bytes, const LoadOptions& options, Bitmap& out);
// Every frame as the GIF player takes them, within the animation budget.
int decodeAnimation(ByteView bytes, AnimatedBitmap& out);
// How often an animation plays (0: without end, as for a still picture).
int readLoopCount(ByteView bytes, int& loops);
// The codestream's orientation (1-8).
int readOrientation(const std::string& path);
// The Exif box's block (TIFF structure, from its byte-order mark); empty,
// with success, when there is none.
int readExif(ByteView bytes, std::vector<uint8_t>& exif);

} // namespace kamelo::imaging::jxlcodec
