#include "profileentry.h"

#include "imaging/colour/profilereader.h"

namespace kamelo::fuzz {

using namespace kamelo::imaging;

int profile(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    constexpr PictureFormat kFormats[] = {PictureFormat::Jpeg, PictureFormat::Png,
                                          PictureFormat::Tiff, PictureFormat::Psd,
                                          PictureFormat::WebP};
    const PictureFormat format = kFormats[data[0] % 5];
    const int page = data[0] / 5 % 4;
    const uint8_t* file = data + 1;
    const size_t fileSize = size - 1;
    const colour::ProfilePtr found = colour::readEmbeddedProfile(file, fileSize, format, page);
    if (!found)
        return 0;
    // A stored profile comes out of the file's own bytes: only PNG's is
    // packed and may unpack larger than the file.
    if (found->origin() == colour::IccProfile::Origin::Embedded && format != PictureFormat::Png &&
        found->bytes().size() > fileSize)
        __builtin_trap();
    if (found->bytes().size() > colour::IccProfile::kMaxBytes)
        __builtin_trap();
    unsigned sum = 0;
    for (uint8_t b : found->bytes())
        sum += b;
    return int(sum & 1) + int(found->isSrgb());
}

} // namespace kamelo::fuzz
