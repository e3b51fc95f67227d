#include "rawlibrary.h"

#include <cstdint>

namespace kamelo::imaging::rawcodec {

namespace {

// LibRaw writes the JPEG start marker over a preview's first two bytes.
constexpr uint64_t kMinJpegBytes = 4;

} // namespace

bool RawLibrary::previewFits(size_t fileBytes) const {
    const libraw_thumbnail_t& t = imgdata.thumbnail;
    const int64_t offset = libraw_internal_data.internal_data.toffset;
    // Thumbnails made by a sensor decoder (Kodak) are not checked here.
    if (thumb_load_raw || offset <= 0 || uint64_t(offset) >= fileBytes)
        return false;
    const uint64_t room = fileBytes - uint64_t(offset);
    if (write_thumb == &RawLibrary::jpeg_thumb)
        return t.tlength >= kMinJpegBytes && t.tlength <= room;
    if (write_thumb != &RawLibrary::ppm_thumb)
        return false;
    // What LibRaw reads the bitmap's samples as.
    const unsigned misc = libraw_internal_data.unpacker_data.thumb_misc;
    const unsigned colors = misc >> 5 & 7;
    const unsigned bits = misc & 31;
    if (bits != 8 || (colors != 1 && colors != 3))
        return false;
    // A length shorter than the declared picture sends LibRaw to gather
    // the strips of the thumbnail's IFD, and those copies are not bounded
    // by the buffer it allocates.
    const uint64_t declared = uint64_t(t.twidth) * t.theight * colors;
    return declared > 0 && t.tlength >= declared && t.tlength <= room;
}

} // namespace kamelo::imaging::rawcodec
