#pragma once

#include <QImage>

#include <cstddef>
#include <cstdint>

namespace kamelo::imaging {

// Decodes a device-independent bitmap as metafiles embed it: a
// BITMAPINFOHEADER (with its colour table or bit-field masks) and separate
// pixel bits. 1, 4, 8, 16, 24 and 32 bits, uncompressed or bit fields.
// Returns a null image for anything malformed.
QImage decodeDib(const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize);

} // namespace kamelo::imaging
