#pragma once

#include "imaging/bitmap.h"
#include "imaging/loadoptions.h"
#include "rawifd.h"

namespace kamelo::imaging::rawcodec {

// The preview at spot, read from the file alone (no LibRaw): a JPEG decoded
// as small as still covers minWidth x minHeight, an RGB preview as stored;
// the colour space the file names for it (sRGB when none) set on it.
int decodeSpot(const RangeReader& file, const PreviewSpot& spot, int minWidth, int minHeight,
               Bitmap& out);

// The preview at spot as a viewer's first picture: a JPEG decoded as a JPEG
// file is (bands handed to options.onRows as they arrive, the memory of
// options.reuse taken over) at the smallest of its 1/1 to 1/8 scales that
// still covers minWidth x minHeight; an RGB preview handed over whole. A
// band answered with less than 1 ends it with that answer; kUnsupported when
// the preview cannot be read or decoded, so the caller may ask LibRaw.
int decodeSpotInBands(const RangeReader& file, const PreviewSpot& spot, int minWidth, int minHeight,
                      const LoadOptions& options, Bitmap& out);

// A DNG's quick first picture at 1/options.scaleDenominator of its
// development from the preview its IFDs hold, as decodeSpotInBands gives
// it; kUnsupported when the file is not a DNG whose IFDs say its size and
// hold a preview.
int firstPictureFromIfds(const RangeReader& file, const LoadOptions& options, Bitmap& out);

// The preview of a TIFF-based RAW file found by walking its IFDs; kUnsupported
// when the file is not one whose IFDs tell the whole story (not a TIFF, no
// preview there, or, outside DNG, none covering the box: other makers keep
// larger previews in their maker notes, where only LibRaw looks), or when
// the preview does not decode. The caller then asks LibRaw.
int stampFromIfds(const RangeReader& file, int minWidth, int minHeight, Bitmap& out);

} // namespace kamelo::imaging::rawcodec
