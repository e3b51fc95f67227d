#include "savebyextension.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace kamelo::imaging {

std::string upperExtension(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return ext;
}

int saveFormatForExtension(const std::string& extension, SaveTable table) {
    std::string ext = extension;
    if (!ext.empty() && ext.front() == '.')
        ext.erase(0, 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    // "JPEG" is the same format as "JPG" and gets the same writer.
    if (ext == "JPG" || ext == "JPEG")
        return kJpegWriter;
    if (ext == "GIF")
        return table == SaveTable::Viewer ? 2 : 0;
    static constexpr std::array<std::pair<const char*, int>, 13> kLibrary = {{
        {"BMP", 6},
        {"PCX", 1},
        {"PNG", 75},
        {"PSD", 76},
        {"TGA", 4},
        {"IFF", 111},
        {"PCT", 56},
        {"RAS", 55},
        {"SGI", 142},
        {"TIF", 17},
        {"TIFF", 17},
        {"WEBP", 160},
        {"AVIF", 161},
    }};
    for (const auto& [name, code] : kLibrary)
        if (ext == name)
            return code;
    return 0;
}

int saveFormatForPath(const std::string& path, SaveTable table) {
    const std::string ext = upperExtension(path);
    return ext.empty() ? 0 : saveFormatForExtension(ext, table);
}

} // namespace kamelo::imaging
