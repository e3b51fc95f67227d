#include "heifcodec.h"
#include "heiflib.h"

#include "imaging/result.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace kamelo::imaging::heifcodec {

namespace {

using namespace heiflib;

heif_error ok() {
    return {heif_error_Ok, heif_suberror_Unspecified, "Success"};
}

// libheif calls this from C: nothing may be thrown through it.
heif_error appendTo(heif_context*, const void* data, size_t size, void* userdata) noexcept {
    auto* out = static_cast<std::vector<uint8_t>*>(userdata);
    try {
        const auto* p = static_cast<const uint8_t*>(data);
        out->insert(out->end(), p, p + size);
    } catch (...) {
        return {heif_error_Memory_allocation_error, heif_suberror_Unspecified,
                "Out of memory while writing"};
    }
    return ok();
}

bool startsWithByteOrderMark(const std::vector<uint8_t>& exif) {
    return exif.size() >= 8 &&
           ((exif[0] == 'I' && exif[1] == 'I' && exif[2] == 42 && exif[3] == 0) ||
            (exif[0] == 'M' && exif[1] == 'M' && exif[2] == 0 && exif[3] == 42));
}

// The bitmap's pixels as the interleaved RGB image libheif encodes.
int rgbImage(const Bitmap& pixels, Image& image) {
    heif_image* raw = nullptr;
    heif_error error = heif_image_create(pixels.width(), pixels.height(), heif_colorspace_RGB,
                                         heif_chroma_interleaved_RGB, &raw);
    image.reset(raw);
    if (error.code != heif_error_Ok)
        return codeOf(error);
    error = heif_image_add_plane(image.get(), heif_channel_interleaved, pixels.width(),
                                 pixels.height(), 8);
    if (error.code != heif_error_Ok)
        return codeOf(error);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
    if (!plane || stride < pixels.width() * 3)
        return result::kNoMemory;
    for (int y = 0; y < pixels.height(); ++y) {
        const uint8_t* src = pixels.row(y);
        uint8_t* dst = plane + size_t(y) * size_t(stride);
        for (int x = 0; x < pixels.width(); ++x, src += 3, dst += 3) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
        }
    }
    return result::kSuccess;
}

int configure(heif_encoder* encoder, int quality) {
    // aom's speed 8 writes a photo about three times as fast as its default
    // 6, for a file about one percent larger. Another AV1 encoder may not
    // know the setting; it then keeps its own.
    heif_encoder_set_parameter_integer(encoder, "speed", 8);
    if (quality >= 100) {
        // Lossless needs every chroma sample and the colours coded as they are.
        if (const int rc = codeOf(heif_encoder_set_lossless(encoder, 1)); rc < 1)
            return rc;
        return codeOf(heif_encoder_set_parameter_string(encoder, "chroma", "444"));
    }
    return codeOf(heif_encoder_set_lossy_quality(encoder, std::clamp(quality, 0, 100)));
}

int encode(const Bitmap& pixels, int quality, const EmbeddedMetadata& metadata,
           std::vector<uint8_t>& out) {
    initialise();
    if (!heif_have_encoder_for_format(heif_compression_AV1))
        return result::kUnsupported;
    for (size_t part : {metadata.exif.size(), metadata.xmp.size(), metadata.icc.size()})
        if (part > size_t(INT_MAX))
            return result::kTooLarge;
    Context context(heif_context_alloc());
    if (!context)
        return result::kNoMemory;
    Image image;
    if (const int rc = rgbImage(pixels, image); rc < 1)
        return rc;
    if (!metadata.icc.empty()) {
        const heif_error error = heif_image_set_raw_color_profile(
            image.get(), "prof", metadata.icc.data(), metadata.icc.size());
        if (error.code != heif_error_Ok)
            return codeOf(error);
    }
    heif_encoder* rawEncoder = nullptr;
    heif_error error =
        heif_context_get_encoder_for_format(context.get(), heif_compression_AV1, &rawEncoder);
    const Encoder encoder(rawEncoder);
    if (error.code != heif_error_Ok || !encoder)
        return result::kUnsupported;
    if (const int rc = configure(encoder.get(), quality); rc < 1)
        return rc;

    EncodingOptions options(heif_encoding_options_alloc());
    using NclxPtr = std::unique_ptr<heif_color_profile_nclx, void (*)(heif_color_profile_nclx*)>;
    NclxPtr nclx(heif_nclx_color_profile_alloc(), heif_nclx_color_profile_free);
    if (!options || !nclx)
        return result::kNoMemory;
    if (quality >= 100) {
        nclx->matrix_coefficients = heif_matrix_coefficients_RGB_GBR;
        nclx->full_range_flag = 1;
        nclx->color_primaries = heif_color_primaries_ITU_R_BT_709_5;
        nclx->transfer_characteristics = heif_transfer_characteristic_IEC_61966_2_1;
        options->output_nclx_profile = nclx.get();
        // Given to the image too: the profile written then names the sRGB
        // the pixels are in, and libheif reads them back exactly.
        if (const int rc = codeOf(heif_image_set_nclx_color_profile(image.get(), nclx.get()));
            rc < 1)
            return rc;
        // Written even where it would be left out for old macOS readers,
        // who would take the RGB planes for YCbCr.
        options->macOS_compatibility_workaround_no_nclx_profile = 0;
    }
    // With an ICC profile the coding matrix still needs its own box, or a
    // reader would take the lossless RGB planes for YCbCr.
    options->save_two_colr_boxes_when_ICC_and_nclx_available = 1;

    heif_image_handle* rawHandle = nullptr;
    error = heif_context_encode_image(context.get(), image.get(), encoder.get(), options.get(),
                                      &rawHandle);
    const Handle handle(rawHandle);
    if (error.code != heif_error_Ok || !handle)
        return error.code != heif_error_Ok ? codeOf(error) : result::kUnsupported;
    if (!metadata.exif.empty()) {
        if (!startsWithByteOrderMark(metadata.exif))
            return result::kInvalidParameter; // not a TIFF structure
        error = heif_context_add_exif_metadata(context.get(), handle.get(), metadata.exif.data(),
                                               int(metadata.exif.size()));
        if (error.code != heif_error_Ok)
            return result::kInvalidParameter; // not a TIFF structure
    }
    if (!metadata.xmp.empty()) {
        error = heif_context_add_XMP_metadata(context.get(), handle.get(), metadata.xmp.data(),
                                              int(metadata.xmp.size()));
        if (error.code != heif_error_Ok)
            return codeOf(error);
    }
    std::vector<uint8_t> written;
    heif_writer writer{};
    writer.writer_api_version = 1;
    writer.write = appendTo;
    error = heif_context_write(context.get(), &writer, &written);
    if (error.code != heif_error_Ok)
        return codeOf(error);
    out.swap(written);
    return result::kSuccess;
}

} // namespace

int encodeAvif(const Bitmap& pixels, int quality, const EmbeddedMetadata& metadata,
               std::vector<uint8_t>& out) {
    return withoutThrowing([&]() -> int {
        out.clear();
        if (!pixels.isAllocated() || pixels.width() <= 0 || pixels.height() <= 0)
            return result::kNoBitmap;
        if (pixels.width() > kMaxSide || pixels.height() > kMaxSide)
            return result::kTooLarge;
        return encode(pixels, quality, metadata, out);
    });
}

} // namespace kamelo::imaging::heifcodec
