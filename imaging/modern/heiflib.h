#pragma once

#include "heifboxes.h"

#include "imaging/bitmap.h"
#include "imaging/colour/iccprofile.h"
#include "imaging/core/filebytes.h"
#include "imaging/loadoptions.h"

#include <libheif/heif.h>

#include <memory>

// Owning handles over libheif objects and the checks every read makes:
// libheif's own limits set, declared sizes weighed against the file and the
// memory budget before anything is decoded.
namespace kamelo::imaging::heiflib {

struct ContextFree {
    void operator()(heif_context* p) const { heif_context_free(p); }
};
struct HandleFree {
    void operator()(heif_image_handle* p) const { heif_image_handle_release(p); }
};
struct ImageFree {
    void operator()(heif_image* p) const { heif_image_release(p); }
};
struct EncoderFree {
    void operator()(heif_encoder* p) const { heif_encoder_release(p); }
};
struct DecodingOptionsFree {
    void operator()(heif_decoding_options* p) const { heif_decoding_options_free(p); }
};
struct EncodingOptionsFree {
    void operator()(heif_encoding_options* p) const { heif_encoding_options_free(p); }
};
using Context = std::unique_ptr<heif_context, ContextFree>;
using Handle = std::unique_ptr<heif_image_handle, HandleFree>;
using Image = std::unique_ptr<heif_image, ImageFree>;
using Encoder = std::unique_ptr<heif_encoder, EncoderFree>;
using DecodingOptions = std::unique_ptr<heif_decoding_options, DecodingOptionsFree>;
using EncodingOptions = std::unique_ptr<heif_encoding_options, EncodingOptionsFree>;

// How many pixels one byte of a HEIF/AVIF file can describe at most. AV1
// codes a flat 12-megapixel picture in about 450 bytes (27,000 pixels a
// byte), HEVC in about 8 KB; a header declaring eight times AV1's best is
// forged.
inline constexpr int64_t kPixelsPerByte = 200000;
// The longest side libheif is allowed to read.
inline constexpr int kMaxSide = 32768;

// A result code for a libheif error.
int codeOf(const heif_error& error);

// Starts libheif once per process; open() does it itself.
void initialise();

// Reads the file's boxes (no pixels) with libheif's limits set. The bytes
// must outlive the context.
int open(ByteView bytes, Context& context);
int primary(heif_context* context, Handle& handle);

// The picture size as stored, before any rotation, mirror or crop.
void storedSize(const heif_image_handle* handle, int& width, int& height);

// Decodes one image as stored (its turns ignored) into 24-bit BGR, alpha
// flattened onto white, reporting bands to options.onRows when set. A crop
// that fits the picture is applied; profile is on the bitmap from the first
// band on.
int decode(const heif_image_handle* handle, size_t fileBytes, const LoadOptions& options,
           Bitmap& out, const heifboxes::Crop& crop = {},
           const colour::ProfilePtr& profile = nullptr);
// Whether crop lies inside a width x height picture.
bool fits(const heifboxes::Crop& crop, int width, int height);

} // namespace kamelo::imaging::heiflib
