#pragma once

#include "imaging/animation.h"
#include "imaging/bitmap.h"
#include "imaging/core/filebytes.h"
#include "imaging/fileinfo.h"
#include "imaging/loadoptions.h"

#include <string>
#include <vector>

// What the entries of the newer picture formats share: every reader call is
// made on the input and whatever it returns is touched, so a sanitizer sees
// a bad row or block; a success without its picture traps.
namespace kamelo::fuzz::modern {

using DecodeFn = int (*)(imaging::ByteView, const imaging::LoadOptions&, imaging::Bitmap&);

// Touches the first and last byte of every row; traps on an empty picture.
unsigned touch(const imaging::Bitmap& b);
// Decodes at 1/scale with bands reported; a band outside the picture traps.
unsigned decodeAt(imaging::ByteView bytes, int scale, DecodeFn decode);
// Reads the header: false for a picture beyond the pixel budget, which is
// then only read (see fuzzentries.h).
bool readHeader(imaging::ByteView bytes, int (*readInfo)(imaging::ByteView, imaging::FileInfo&));
// Decodes every frame and plays the animation through once.
unsigned playAnimation(imaging::ByteView bytes,
                       int (*decodeAnimation)(imaging::ByteView, imaging::AnimatedBitmap&));
// Gives the input to a reader that takes a path; the result must be 1..8
// or an error.
void checkOrientation(int (*readOrientation)(const std::string&), const uint8_t* data, size_t size);
unsigned sumBytes(const std::vector<uint8_t>& v);

} // namespace kamelo::fuzz::modern
