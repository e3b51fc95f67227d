#include "rawdevelop.h"

#include "imaging/result.h"
#include "rawcodec.h"
#include "rawsession.h"

#include <libraw/libraw.h>

#include <vector>

namespace kamelo::imaging::rawcodec {

namespace {

void setDevelopment(libraw_output_params_t& p, bool halfSize) {
    p.use_camera_wb = 1;
    p.output_color = 1; // sRGB
    p.output_bps = 8;
    p.user_flip = 0; // callers turn pictures by the file's orientation
    p.half_size = halfSize ? 1 : 0;
    // The sRGB tone curve rather than LibRaw's default BT.709 one.
    p.gamm[0] = 1.0 / 2.4;
    p.gamm[1] = 12.92;
}

// LibRaw's 8-bit result into a BGR picture.
int copyResult(RawSession& session, Bitmap& out) {
    LibRaw& raw = session.raw();
    int width = 0, height = 0, colors = 0, bits = 0;
    raw.get_mem_image_format(&width, &height, &colors, &bits);
    if (width <= 0 || height <= 0 || bits != 8)
        return result::kCorruptData;
    if (int64_t(width) * height > kMaxPixels)
        return result::kTooLarge;
    int rc = out.allocate(width, height);
    if (rc < 1)
        return rc;
    if (colors == 3)
        return session.codeOf(raw.copy_mem_image(out.bits(), out.stride(), 1));
    if (colors != 1)
        return result::kUnsupported;
    // A monochrome sensor: grey rows spread to three channels.
    std::vector<uint8_t> grey(size_t(width) * size_t(height));
    rc = session.codeOf(raw.copy_mem_image(grey.data(), width, 0));
    if (rc < 1)
        return rc;
    for (int y = 0; y < height; ++y) {
        const uint8_t* g = grey.data() + size_t(y) * size_t(width);
        uint8_t* d = out.row(y);
        for (int x = 0; x < width; ++x, d += 3)
            d[0] = d[1] = d[2] = g[x];
    }
    return result::kSuccess;
}

} // namespace

int develop(RawSession& session, bool halfSize, Bitmap& out) {
    int rc = session.checkDevelopment(halfSize);
    if (rc < 1)
        return rc;
    setDevelopment(session.raw().imgdata.params, halfSize);
    rc = session.unpack();
    if (rc < 1)
        return rc;
    if (stopAsked())
        return result::kAborted;
    rc = session.codeOf(session.raw().dcraw_process());
    if (rc < 1)
        return rc;
    rc = copyResult(session, out);
    // LibRaw's working pictures go before the caller handles the result.
    session.raw().recycle();
    if (rc < 1)
        out.free();
    return rc;
}

} // namespace kamelo::imaging::rawcodec
