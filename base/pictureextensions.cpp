#include "pictureextensions.h"

#include <cctype>

namespace kamelo {

bool PictureExtensions::isPicture(std::string_view ext) {
    // The newer formats follow the twenty; the imaging module's own list
    // (modernExtensions) is the same, checked by the tests.
    static constexpr std::string_view kExtensions[] = {
        "jpg",  "jpeg", "bmp", "tif",  "tiff", "tga", "png", "wmf", "pcx", "pcd",
        "emf",  "ico",  "cur", "dcx",  "pct",  "iff", "gif", "psd", "ras", "sgi",
        "heic", "heif", "hif", "avif", "webp", "jxl", "dng", "cr2", "cr3", "crw",
        "nef",  "nrw",  "arw", "srf",  "sr2",  "orf", "rw2", "raf", "pef", "srw",
        "3fr",  "erf",  "kdc", "mrw",  "x3f",  "iiq", "rwl", "mos", "mef", "dcr"};
    for (std::string_view e : kExtensions) {
        if (e.size() != ext.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < e.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(ext[i])) == e[i];
        if (same)
            return true;
    }
    return false;
}

bool PictureExtensions::isPicturePath(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    return isPicture(std::string_view(path).substr(dot + 1));
}

} // namespace kamelo
