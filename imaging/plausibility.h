#pragma once

#include <cstddef>
#include <cstdint>

namespace kamelo::imaging::plausibility {

// How many pixels one byte of a file can describe at most, per format. A
// header that declares more pixels than its file could ever encode is
// forged (a "picture bomb": a few hundred bytes asking for a 16384 x 16384
// decode) and is refused before anything is allocated; a real photo or scan
// stays far below these limits. A declared size that passes may be far
// above what one bitmap holds (kMaxPixels): such a picture is decoded scaled
// or by region (imaging/large/), so the limit on the declared size is what
// the file can encode, not a fixed pixel count.
//
// JPEG: Huffman coding spends at least one bit on every 8 x 8 block of
//   every component (a DC code; in progressive files the AC bands can be
//   skipped in long end-of-band runs, the DC scan cannot), so one byte
//   carries at most 8 blocks = 512 pixels of a grey picture and fewer with
//   colour. Only arithmetic coding of flat synthetic pictures could go
//   beyond; real photos come nowhere near.
// PNG: deflate's best ratio is about 1032 : 1 (a 258-byte match in two
//   bits), and a 1-bit picture packs 8 pixels into a byte, so one byte of
//   compressed data holds at most about 8,300 pixels, for a blank page.
// GIF: 12-bit LZW codes stand for at most about 4,000 pixels each, so one
//   byte holds at most about 2,700 pixels of a frame. The screen may be
//   larger than the frames, but a real file's screen is covered by them.
// All three get 10,000 pixels per byte: above what their compressors can
// reach for real pictures, and a bomb overshoots it by a factor of 30 or
// more. Any picture up to kAlwaysPlausible pixels is accepted whatever its
// size: decoding it is cheap.
inline constexpr int64_t kJpegPixelsPerByte = 10000;
inline constexpr int64_t kPngPixelsPerByte = 10000;
inline constexpr int64_t kGifPixelsPerByte = 10000;
inline constexpr int64_t kAlwaysPlausible = int64_t(1) << 22; // 4 megapixels, 12 MB
// TIFF: deflate, LZW and JPEG data as above. Uncompressed data holds at most
// 8 pixels a byte (1-bit), PackBits 128 times that. CCITT fax codes spend at
// least one bit on every row whatever its width, so only the row count is
// bounded by the file: kTiffFaxRowsPerByte.
inline constexpr int64_t kTiffPixelsPerByte = 10000;
inline constexpr int64_t kTiffUncompressedPixelsPerByte = 8;
inline constexpr int64_t kTiffPackBitsPixelsPerByte = 8 * 128;
inline constexpr int64_t kTiffFaxRowsPerByte = 8;
// No side may exceed this (libpng's own cap; JPEG stops at 65,535): a
// single row of it is 4 MB, which a streamed decode still holds cheaply.
inline constexpr int64_t kMaxSide = int64_t(1) << 20;

// Whether a file of fileBytes bytes can hold width x height pixels at
// pixelsPerByte at most.
bool plausible(int64_t width, int64_t height, size_t fileBytes, int64_t pixelsPerByte);

// The same as a result code, for decoders to return: 1 when plausible,
// kTooLarge for a side beyond kMaxSide, kCorruptData for a size that is not
// positive or that the file cannot encode (a bomb).
int checkDeclared(int64_t width, int64_t height, size_t fileBytes, int64_t pixelsPerByte);
// checkDeclared for a TIFF page by its compression tag (1 none, 2-4 CCITT,
// 32773 PackBits, anything else as deflate).
int checkTiff(int64_t width, int64_t height, int compression, size_t fileBytes);

} // namespace kamelo::imaging::plausibility
