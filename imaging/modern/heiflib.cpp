#include "heiflib.h"

#include "imaging/memorybudget.h"
#include "imaging/plausibility.h"
#include "imaging/result.h"

#include <algorithm>

namespace kamelo::imaging::heiflib {

int codeOf(const heif_error& error) {
    if (error.code == heif_error_Ok)
        return result::kSuccess;
    if (error.subcode == heif_suberror_Security_limit_exceeded)
        return result::kTooLarge;
    if (error.subcode == heif_suberror_End_of_data)
        return result::kTruncated;
    switch (error.code) {
    case heif_error_Memory_allocation_error:
        return result::kNoMemory;
    case heif_error_Unsupported_filetype:
    case heif_error_Unsupported_feature:
    case heif_error_Plugin_loading_error:
        return result::kUnsupported;
    case heif_error_Usage_error:
        return result::kInvalidParameter;
    case heif_error_Encoder_plugin_error:
    case heif_error_Encoding_error:
        return error.subcode == heif_suberror_Cannot_write_output_data ? result::kFileWrite
                                                                       : result::kUnsupported;
    default:
        return result::kCorruptData;
    }
}

void initialise() {
    // Held for the life of the process: another user of libheif in the
    // program (ImageMagick's coder) ending its own use never unloads the
    // codecs under us.
    static const bool done = [] {
        heif_init(nullptr);
        return true;
    }();
    (void)done;
}

int open(ByteView bytes, Context& context) {
    initialise();
    context.reset();
    if (!bytes.data || bytes.size < 12)
        return result::kTruncated;
    Context made(heif_context_alloc());
    if (!made)
        return result::kNoMemory;
    heif_context_set_maximum_image_size_limit(made.get(), kMaxSide);
    const heif_error error =
        heif_context_read_from_memory_without_copy(made.get(), bytes.data, bytes.size, nullptr);
    if (error.code != heif_error_Ok)
        return codeOf(error);
    context = std::move(made);
    return result::kSuccess;
}

int primary(heif_context* context, Handle& handle) {
    heif_image_handle* raw = nullptr;
    const heif_error error = heif_context_get_primary_image_handle(context, &raw);
    handle.reset(raw);
    if (error.code != heif_error_Ok)
        return codeOf(error);
    return handle ? result::kSuccess : result::kCorruptData;
}

void storedSize(const heif_image_handle* handle, int& width, int& height) {
    width = heif_image_handle_get_ispe_width(handle);
    height = heif_image_handle_get_ispe_height(handle);
    if (width <= 0 || height <= 0) { // no 'ispe': only the displayed size is known
        width = heif_image_handle_get_width(handle);
        height = heif_image_handle_get_height(handle);
    }
}

namespace {

// What libheif holds beside our bitmap while it decodes: the decoded planes
// (three, of two bytes a sample above 8 bits) and its interleaved copy.
uint64_t libraryBytes(uint64_t pixels, int lumaBits, bool alpha) {
    const uint64_t planes = (lumaBits > 8 ? 6 : 3) + (alpha ? 1 : 0);
    return pixels * (planes + (alpha ? 4 : 3));
}

int checkSize(const heif_image_handle* handle, size_t fileBytes, int& width, int& height) {
    storedSize(handle, width, height);
    if (width <= 0 || height <= 0)
        return result::kCorruptData;
    if (width > kMaxSide || height > kMaxSide || int64_t(width) * height > kMaxPixels)
        return result::kTooLarge;
    if (!plausibility::plausible(width, height, fileBytes, kPixelsPerByte))
        return result::kCorruptData; // more pixels than the file can encode
    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    const int luma = heif_image_handle_get_luma_bits_per_pixel(handle);
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    const uint64_t total = libraryBytes(pixels, luma, alpha) + pixels * 3;
    if (total >= memorybudget::kHugePictureBytes && total > memorybudget::hugeBudget())
        return result::kNoMemory;
    return result::kSuccess;
}

enum class Alpha { None, Straight, Premultiplied };

// A colour already multiplied by its alpha lies over white by adding the
// white that shows through.
uint8_t premultipliedOverWhite(unsigned value, unsigned alpha) {
    return static_cast<uint8_t>(std::min(255u, value + 255u - std::min(alpha, 255u)));
}

void convertRow(const uint8_t* src, uint8_t* dst, int width, Alpha alpha) {
    switch (alpha) {
    case Alpha::Straight:
        for (int x = 0; x < width; ++x, src += 4, dst += 3) {
            dst[0] = overWhite(src[2], src[3]);
            dst[1] = overWhite(src[1], src[3]);
            dst[2] = overWhite(src[0], src[3]);
        }
        break;
    case Alpha::Premultiplied:
        for (int x = 0; x < width; ++x, src += 4, dst += 3) {
            dst[0] = premultipliedOverWhite(src[2], src[3]);
            dst[1] = premultipliedOverWhite(src[1], src[3]);
            dst[2] = premultipliedOverWhite(src[0], src[3]);
        }
        break;
    case Alpha::None:
        for (int x = 0; x < width; ++x, src += 3, dst += 3) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
        }
        break;
    }
}

} // namespace

bool fits(const heifboxes::Crop& crop, int width, int height) {
    return crop.width > 0 && crop.height > 0 && crop.x >= 0 && crop.y >= 0 &&
           crop.x <= width - crop.width && crop.y <= height - crop.height;
}

int decode(const heif_image_handle* handle, size_t fileBytes, const LoadOptions& options,
           Bitmap& out, const heifboxes::Crop& crop, const colour::ProfilePtr& profile) {
    out.free();
    int width = 0, height = 0;
    if (const int rc = checkSize(handle, fileBytes, width, height); rc < 1)
        return rc;
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    const int luma = heif_image_handle_get_luma_bits_per_pixel(handle);
    // Ours first: the budget refuses a picture before libheif spends on it.
    const bool cropped = fits(crop, width, height);
    const int64_t allocated = cropped ? int64_t(crop.width) * crop.height : int64_t(width) * height;
    if (const int rc =
            cropped ? out.allocate(crop.width, crop.height) : out.allocate(width, height);
        rc < 1)
        return rc;
    out.setColourProfile(profile); // kept by a later allocate, dropped by free

    DecodingOptions decoding(heif_decoding_options_alloc());
    if (!decoding) {
        out.free();
        return result::kNoMemory;
    }
    // The caller turns the picture by the file's orientation; the crop is
    // ours to make, as libheif leaves it out with the turns.
    decoding->ignore_transformations = 1;
    decoding->convert_hdr_to_8bit = 1;
    heif_image* raw = nullptr;
    const heif_error error = heif_decode_image(
        handle, &raw, heif_colorspace_RGB,
        alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, decoding.get());
    const Image image(raw);
    if (error.code != heif_error_Ok || !image) {
        out.free();
        return error.code != heif_error_Ok ? codeOf(error) : result::kCorruptData;
    }
    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int gotWidth = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int gotHeight = heif_image_get_height(image.get(), heif_channel_interleaved);
    const int bits = heif_image_get_bits_per_pixel(image.get(), heif_channel_interleaved);
    const int pixelBytes = alpha ? 4 : 3;
    // libheif hands premultiplied colours over as they are stored.
    const Alpha blend = !alpha                                             ? Alpha::None
                        : heif_image_handle_is_premultiplied_alpha(handle) ? Alpha::Premultiplied
                                                                           : Alpha::Straight;
    if (!plane || bits != pixelBytes * 8 || gotWidth <= 0 || gotHeight <= 0 ||
        stride < gotWidth * pixelBytes) {
        out.free();
        return result::kUnsupported;
    }
    // A coded picture a little off its declared size is taken as decoded,
    // never larger than what was checked and allocated.
    const heifboxes::Crop region =
        fits(crop, gotWidth, gotHeight) ? crop : heifboxes::Crop{0, 0, gotWidth, gotHeight};
    if (region.width != out.width() || region.height != out.height()) {
        if (int64_t(region.width) * region.height > allocated) {
            out.free();
            return result::kCorruptData;
        }
        if (const int rc = out.allocate(region.width, region.height); rc < 1)
            return rc;
    }

    const int band = std::max(1, options.bandRows);
    int first = 0;
    for (int y = 0; y < region.height; ++y) {
        const uint8_t* src =
            plane + size_t(region.y + y) * size_t(stride) + size_t(region.x) * size_t(pixelBytes);
        convertRow(src, out.row(y), region.width, blend);
        if (options.onRows && ((y + 1 - first) == band || y + 1 == region.height)) {
            const int rc = options.onRows(out, first, y + 1 - first, 0);
            if (rc < 1)
                return rc;
            first = y + 1;
        }
    }
    out.setSourceBitsPerPixel(std::max(luma, 8) * pixelBytes);
    return result::kSuccess;
}

} // namespace kamelo::imaging::heiflib
