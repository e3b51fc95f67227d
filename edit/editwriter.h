#pragma once

#include "edit/core/conversionformat.h"
#include "imaging/bitmap.h"

#include <optional>
#include <string>

namespace kamelo::edit {

// Writes an edited picture: by the destination's extension (the JPEG, WebP
// and AVIF writers at quality 96), or in a chosen conversion format. JPEG,
// PNG, TIFF, WebP and AVIF keep what the source carries (EXIF, XMP, ICC
// profile; IPTC where the format holds it), with the
// size, orientation and thumbnail of the written pixels; a JPEG source's
// chroma subsampling is kept. Every write is atomic, so a failure leaves the
// destination as it was.
class EditWriter {
public:
    static constexpr int kJpegQuality = 96;

    struct Request {
        const imaging::Bitmap* picture = nullptr;
        std::string source; // whose metadata the written file keeps
        std::string destination;
        std::optional<ConversionFormat> convertTo;
        int qualityFactor = 2;          // a conversion's JPEG/WebP/AVIF quality factor
        std::optional<int> jpegQuality; // 0..100, in place of the factor
        bool turnedUpright = false;     // pixels already turned by the EXIF orientation
    };

    // 1, or an error code with reason set to a Korean sentence.
    static int write(const Request& request, std::string& reason);
};

} // namespace kamelo::edit
