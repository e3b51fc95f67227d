#pragma once

#include "imaging/core/filebytes.h"

#include <string>

namespace kamelo::imaging::webpcodec {

// The "XMP " chunk's packet as stored; empty, with success, when there is
// none. A file libwebp's demuxer refuses gives kCorruptData.
int readXmp(ByteView bytes, std::string& xmp);

} // namespace kamelo::imaging::webpcodec
