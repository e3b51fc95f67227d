#pragma once

#include <string>
#include <string_view>

namespace kamelo {

// The extensions the program treats as pictures, compared without regard to
// case: jpg jpeg bmp tif tiff tga png wmf pcx pcd emf ico cur dcx pct iff gif
// psd ras sgi, then HEIF (heic heif hif), avif, webp, jxl and the camera RAW
// extensions (dng cr2 cr3 nef arw orf rw2 raf pef ...).
class PictureExtensions {
public:
    static bool isPicture(std::string_view extension);
    // The extension of a path (after the last dot of its last component).
    static bool isPicturePath(const std::string& path);
};

} // namespace kamelo
