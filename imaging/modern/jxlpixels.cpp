#include "jxlpixels.h"

#include "imaging/parallelrows.h"
#include "imaging/result.h"
#include "jxlsession.h"

#include <algorithm>
#include <utility>

namespace kamelo::imaging::jxl {

bool preparePixels(Session& session) {
    return session.valid() && session.keepOrientation() && session.prepareThreads() &&
           JxlDecoderSetUnpremultiplyAlpha(session.decoder(), JXL_TRUE) == JXL_DEC_SUCCESS;
}

void preferSrgb(JxlDecoder* dec, const JxlBasicInfo& basic) {
    if (basic.uses_original_profile)
        return;
    JxlColorEncoding srgb{};
    srgb.color_space = basic.num_color_channels == 1 ? JXL_COLOR_SPACE_GRAY : JXL_COLOR_SPACE_RGB;
    srgb.white_point = JXL_WHITE_POINT_D65;
    srgb.primaries = JXL_PRIMARIES_SRGB;
    srgb.transfer_function = JXL_TRANSFER_FUNCTION_SRGB;
    srgb.rendering_intent = JXL_RENDERING_INTENT_PERCEPTUAL;
    // Only a preference: when libjxl cannot honour it, it keeps its own.
    JxlDecoderSetPreferredColorProfile(dec, &srgb);
}

int channelsFor(const JxlBasicInfo& basic) {
    return (basic.num_color_channels == 1 ? 1 : 3) + (basic.alpha_bits > 0 ? 1 : 0);
}

int sourceBitsOf(const JxlBasicInfo& basic) {
    const int64_t channels = basic.num_color_channels + (basic.alpha_bits > 0 ? 1 : 0);
    return static_cast<int>(std::min<int64_t>(channels * basic.bits_per_sample, 128));
}

void PixelSink::start(Bitmap& target, int channels) {
    target_ = &target;
    channels_ = channels;
}

bool PixelSink::attach(JxlDecoder* dec) {
    direct_ = channels_ == 3;
    if (direct_) {
        // Rows aligned to 4 bytes are the bitmap's own stride.
        const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 4};
        size_t needed = 0;
        return JxlDecoderImageOutBufferSize(dec, &format, &needed) == JXL_DEC_SUCCESS &&
               needed <= target_->byteCount() &&
               JxlDecoderSetImageOutBuffer(dec, &format, target_->bits(), needed) ==
                   JXL_DEC_SUCCESS;
    }
    const JxlPixelFormat format{static_cast<uint32_t>(channels_), JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN,
                                0};
    return JxlDecoderSetImageOutCallback(dec, &format, &PixelSink::receive, this) ==
           JXL_DEC_SUCCESS;
}

void PixelSink::finish() {
    if (!direct_)
        return;
    Bitmap& b = *target_;
    forRows(b.height(), int64_t(b.width()) * 3, [&](int first, int end) {
        for (int y = first; y < end; ++y) {
            uint8_t* p = b.row(y);
            for (int x = 0; x < b.width(); ++x, p += 3)
                std::swap(p[0], p[2]);
        }
    });
}

void PixelSink::receive(void* opaque, size_t x, size_t y, size_t count, const void* pixels) {
    auto* self = static_cast<PixelSink*>(opaque);
    Bitmap& b = *self->target_;
    const size_t width = static_cast<size_t>(b.width());
    if (y >= static_cast<size_t>(b.height()) || x >= width || count > width - x)
        return; // libjxl stays inside the picture; a piece outside it is dropped
    const auto* src = static_cast<const uint8_t*>(pixels);
    uint8_t* dst = b.row(static_cast<int>(y)) + x * 3;
    switch (self->channels_) {
    case 1:
        for (size_t i = 0; i < count; ++i, dst += 3)
            dst[0] = dst[1] = dst[2] = src[i];
        break;
    case 2:
        for (size_t i = 0; i < count; ++i, dst += 3, src += 2)
            dst[0] = dst[1] = dst[2] = overWhite(src[0], src[1]);
        break;
    default:
        for (size_t i = 0; i < count; ++i, dst += 3, src += 4) {
            dst[0] = overWhite(src[2], src[3]);
            dst[1] = overWhite(src[1], src[3]);
            dst[2] = overWhite(src[0], src[3]);
        }
        break;
    }
}

} // namespace kamelo::imaging::jxl
