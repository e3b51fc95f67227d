#pragma once

#include <string>
#include <string_view>

namespace kamelo {

// The twenty extensions the program treats as pictures, compared without
// regard to case: jpg jpeg bmp tif tiff tga png wmf pcx pcd emf ico cur dcx
// pct iff gif psd ras sgi.
class PictureExtensions {
public:
    static bool isPicture(std::string_view extension);
    // The extension of a path (after the last dot of its last component).
    static bool isPicturePath(const std::string& path);
};

} // namespace kamelo
