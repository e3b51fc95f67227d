#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace kamelo::imaging {

// Makes the EXIF block of a JPEG describe pictures turned on their
// compressed data, by changing values where they stand: every other byte of
// the block (maker notes with their own offsets included) stays as it was,
// which rewriting the directories would not promise.
class ExifPatch {
public:
    // Makes a turned thumbnail from the old one; false when it cannot.
    using ThumbnailTurn =
        std::function<bool(const std::vector<uint8_t>& old, std::vector<uint8_t>& turned)>;

    std::optional<int> orientation; // written in place of the stored one
    int width = 0;                  // of the picture now: the pixel size tags
    int height = 0;                 // (both 0: left as they are)
    // Without it the thumbnail is left alone; when it fails the thumbnail is
    // removed, so it never shows the picture the old way round.
    ThumbnailTurn thumbnail;

    // Changes the first EXIF block of jpeg and the XMP packet's orientation.
    // False when the file has no readable EXIF block (nothing is changed
    // then but the XMP packet).
    bool apply(std::vector<uint8_t>& jpeg) const;
};

} // namespace kamelo::imaging
