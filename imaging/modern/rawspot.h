#pragma once

#include "imaging/bitmap.h"
#include "rawifd.h"

namespace kamelo::imaging::rawcodec {

// The preview at spot, read from the file alone (no LibRaw): a JPEG decoded
// as small as still covers minWidth x minHeight, an RGB preview as stored;
// the colour space the file names for it (sRGB when none) set on it.
int decodeSpot(const RangeReader& file, const PreviewSpot& spot, int minWidth, int minHeight,
               Bitmap& out);

// The preview of a TIFF-based RAW file found by walking its IFDs; kUnsupported
// when the file is not one whose IFDs tell the whole story (not a TIFF, no
// preview there, or, outside DNG, none covering the box: other makers keep
// larger previews in their maker notes, where only LibRaw looks), or when
// the preview does not decode. The caller then asks LibRaw.
int stampFromIfds(const RangeReader& file, int minWidth, int minHeight, Bitmap& out);

} // namespace kamelo::imaging::rawcodec
