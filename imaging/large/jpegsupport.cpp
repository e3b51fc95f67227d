#include "imaging/large/jpegsupport.h"

#include "imaging/result.h"

#include <jerror.h>

namespace kamelo::imaging::large {

namespace {

void onError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegErrors*>(cinfo->err);
    if (cinfo->err->msg_code == JERR_OUT_OF_MEMORY)
        err->failure = result::kNoMemory;
    else if (cinfo->err->msg_code == JERR_NO_BACKING_STORE)
        err->failure = result::kTooLarge; // a coefficient buffer beyond memory
    longjmp(err->jump, 1);
}

void onMessage(j_common_ptr cinfo, int level) {
    // Warnings about stray bytes are harmless; an early end is not.
    const int code = cinfo->err->msg_code;
    if (level < 0 && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER))
        reinterpret_cast<JpegErrors*>(cinfo->err)->sawEndOfFile = true;
}

} // namespace

jpeg_error_mgr* errors(JpegErrors& err) {
    err.failure = result::kCorruptData;
    jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    return &err.pub;
}

uint64_t coefficientBytes(const jpeg_decompress_struct& cinfo) {
    uint64_t bytes = 0;
    for (int c = 0; c < cinfo.num_components; ++c) {
        const jpeg_component_info& comp = cinfo.comp_info[c];
        // Rounded up to whole MCUs, as the library allocates them.
        const uint64_t across = comp.width_in_blocks + uint64_t(comp.h_samp_factor);
        const uint64_t down = comp.height_in_blocks + uint64_t(comp.v_samp_factor);
        bytes += across * down * sizeof(JBLOCK);
    }
    return bytes;
}

void cmykRowToBgr(const uint8_t* src, uint8_t* dst, int width, bool inverted) {
    for (int x = 0; x < width; ++x, src += 4, dst += 3) {
        unsigned c = src[0], m = src[1], yv = src[2], k = src[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            yv = 255 - yv;
            k = 255 - k;
        }
        dst[0] = static_cast<uint8_t>((yv * k + 127) / 255);
        dst[1] = static_cast<uint8_t>((m * k + 127) / 255);
        dst[2] = static_cast<uint8_t>((c * k + 127) / 255);
    }
}

} // namespace kamelo::imaging::large
