#pragma once

#include "core/filebytes.h"
#include "fileinfo.h"
#include "loadoptions.h"

namespace kamelo::imaging {

class Bitmap;

// Enhanced metafiles, played by the program itself onto a white picture with
// QPainter: lines, poly-lines, polygons and Béziers (16- and 32-bit points),
// rectangles, rounded rectangles, ellipses, paths, pens and brushes (solid,
// hatched, pattern), window/viewport mapping, world transforms, saved device
// contexts and the records that carry bitmaps. Text, clipping regions and
// GDI+ comment records are not drawn. The picture takes the header's device
// bounds, scaled down to at most 4096 pixels a side.
namespace emfcodec {
int readInfo(ByteView bytes, FileInfo& info);
int decode(ByteView bytes, const LoadOptions& options, Bitmap& out);
} // namespace emfcodec

} // namespace kamelo::imaging
