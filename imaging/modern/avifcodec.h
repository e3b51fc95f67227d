#pragma once

#include "imaging/bitmap.h"
#include "imaging/core/filebytes.h"
#include "imaging/fileinfo.h"
#include "imaging/loadoptions.h"

// AVIF pictures through libavif, which hands the AV1 data to dav1d with
// threads of its own: the primary image, a grid as one picture. The
// rotation and mirror boxes, thumbnails, EXIF and XMP are read as for HEIF
// (heifcodec), so both paths agree on what the file says.
namespace kamelo::imaging::avifcodec {

// Size (after the clean aperture), bits and "AVIF" as compression.
int readInfo(ByteView bytes, FileInfo& info);
// The primary image as stored (its rotation and mirror boxes are left to the
// caller, its clean aperture applied) in 24-bit BGR, alpha flattened onto
// white, above 8 bits brought down to 8, the file's colour profile (ICC, or
// one made from its nclx values) set on the bitmap; bands reported to
// options.onRows once the picture is converted.
int decode(ByteView bytes, const LoadOptions& options, Bitmap& out);

} // namespace kamelo::imaging::avifcodec
