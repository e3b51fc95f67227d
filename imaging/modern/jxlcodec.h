#pragma once

#include "imaging/animation.h"
#include "imaging/bitmap.h"
#include "imaging/colour/iccprofile.h"
#include "imaging/core/filebytes.h"
#include "imaging/fileinfo.h"
#include "imaging/loadoptions.h"

#include <string>
#include <vector>

// JPEG XL through libjxl: still pictures, animations, the Exif and XMP
// boxes and the colour profile.
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
// The ICC profile of the pixels decode() gives: the file's own profile, byte
// for byte, when its pixels are stored in it (lossless files); libjxl's
// profile for a described colour space other than sRGB; empty, with
// success, when the pixels come out as sRGB (lossy files are converted to
// sRGB by the decoder, so their original profile no longer applies).
int readIccProfile(ByteView bytes, std::vector<uint8_t>& icc);
// The colour space of the pixels decode() gives, as a profile lcms2 has
// accepted; null for sRGB.
int readColourProfile(ByteView bytes, colour::ProfilePtr& out);
// The 'xml ' box's XMP packet as stored; empty, with success, when none.
int readXmp(ByteView bytes, std::string& xmp);

} // namespace kamelo::imaging::jxlcodec
