#pragma once

#include <libraw/libraw.h>

#include <cstddef>

namespace kamelo::imaging::rawcodec {

// LibRaw, with a look at which of its thumbnail readers a file chose.
// LibRaw 0.20 sizes some of the buffers its thumbnail readers fill from
// the width and height a file declares and copies as many bytes as the
// file's length says, so a preview is unpacked only when the two agree.
class RawLibrary : public LibRaw {
public:
    // Whether unpack_thumb() stays within the buffers it allocates and
    // within a file of fileBytes bytes: a JPEG preview whose bytes lie in
    // the file, or an 8-bit bitmap at least as long as its declared size.
    // Every other kind is refused; the caller then develops the sensor
    // data instead.
    bool previewFits(size_t fileBytes) const;
};

} // namespace kamelo::imaging::rawcodec
