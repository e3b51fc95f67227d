#pragma once

#include "imaging/core/filebytes.h"

#include <cstddef>
#include <cstdint>
#include <webp/decode.h>

// What the WebP reader's parts share: the size rules and the flattening of
// transparent pixels.
namespace kamelo::imaging::webpsupport {

// A lossless WebP of one flat colour spends next to nothing per pixel
// (cwebp writes a blank 16-megapixel page in 680 bytes, 23,500 pixels a
// byte); a photo stays below a hundred. A header asking for more pixels per
// byte of the file than this is a picture bomb, refused before any decode.
inline constexpr int64_t kPixelsPerByte = 100000;

// Whether width x height is a picture this program may make from a file of
// fileBytes bytes: within kMaxPixels and what the file can encode.
bool acceptable(int64_t width, int64_t height, size_t fileBytes);

// A libwebp status as a result code.
int resultOf(VP8StatusCode status);

// Copies blue-green-red-alpha pixels onto white as blue-green-red.
void flattenRow(const uint8_t* bgra, uint8_t* bgr, int width);

} // namespace kamelo::imaging::webpsupport
