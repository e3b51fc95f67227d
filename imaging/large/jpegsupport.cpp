#include "imaging/large/jpegsupport.h"

namespace kamelo::imaging::large {

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
