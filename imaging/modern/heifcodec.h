#pragma once

#include "imaging/animation.h"
#include "imaging/bitmap.h"
#include "imaging/colour/iccprofile.h"
#include "imaging/core/filebytes.h"
#include "imaging/fileinfo.h"
#include "imaging/loadoptions.h"
#include "imaging/modern/embeddedmetadata.h"

#include <string>
#include <vector>

// HEIF pictures (HEIC from phones) and AVIF, through libheif: the primary
// image, a grid as one picture, depth and auxiliary images ignored.
namespace kamelo::imaging::heifcodec {

int readInfo(ByteView bytes, FileInfo& info);
// The primary image as stored (its rotation and mirror boxes are reported by
// readOrientation, not applied; its crop box is applied), bands reported to
// options.onRows.
int decode(ByteView bytes, const LoadOptions& options, Bitmap& out);
// The EXIF-equivalent orientation (1-8) of the primary image's irot/imir boxes.
int readOrientation(const std::string& path);
// The largest thumbnail image the file holds, as stored; kNoStamp when none.
int readStamp(ByteView bytes, Bitmap& out);
// The primary image's EXIF block (TIFF structure, from its byte-order mark)
// and XMP packet; empty when there is none.
int readMetadata(ByteView bytes, std::vector<uint8_t>& exif, std::string& xmp);
// The primary image's ICC profile ('prof' or 'rICC' colour box) as stored;
// empty, with success, when it is described by nclx values or not at all.
int readIccProfile(ByteView bytes, std::vector<uint8_t>& icc);
// The colour space of the pixels decode() gives: the ICC profile, or one
// made from the nclx values; null for sRGB or when the file says nothing.
int readColourProfile(ByteView bytes, colour::ProfilePtr& out);
// An AVIF file of pixels at quality 0..100 (100: lossless), metadata kept.
int encodeAvif(const Bitmap& pixels, int quality, const EmbeddedMetadata& metadata,
               std::vector<uint8_t>& out);

} // namespace kamelo::imaging::heifcodec
