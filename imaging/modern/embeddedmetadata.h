#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kamelo::imaging {

// What a writer of a newer format embeds beside the pixels, already made to
// describe the written picture: the EXIF block as a TIFF structure (starting
// at its byte-order mark, no "Exif\0\0" prefix), the XMP packet and the ICC
// profile. Empty parts are left out.
struct EmbeddedMetadata {
    std::vector<uint8_t> exif;
    std::string xmp;
    std::vector<uint8_t> icc;
};

} // namespace kamelo::imaging
