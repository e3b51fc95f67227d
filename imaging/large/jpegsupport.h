#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <jpeglib.h>

namespace kamelo::imaging::large {

// libjpeg's errors as our result codes: a fatal one jumps back to the
// caller's setjmp(jump) with failure set; an early end of the data (the
// bytes stop, or a marker comes before a scan is complete, which the
// library fills with grey and would otherwise call success) is noted.
struct JpegErrors {
    jpeg_error_mgr pub;
    jmp_buf jump;
    bool sawEndOfFile = false;
    int failure = 0; // kCorruptData until an error says otherwise
};
// err set up as the error manager of a (de)compressor: cinfo.err = errors(err),
// before jpeg_create_(de)compress.
jpeg_error_mgr* errors(JpegErrors& err);
inline void installErrors(jpeg_decompress_struct& cinfo, JpegErrors& err) {
    cinfo.err = errors(err);
}

// The bytes libjpeg keeps for a whole-picture coefficient buffer (what a
// progressive file needs whatever the output scale), from the header.
uint64_t coefficientBytes(const jpeg_decompress_struct& cinfo);

// Adobe files store CMYK inverted (0 = full ink); others store it plainly.
void cmykRowToBgr(const uint8_t* src, uint8_t* dst, int width, bool inverted);

} // namespace kamelo::imaging::large
