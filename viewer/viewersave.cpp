#include "viewersave.h"

#include "exif/jpegpropertyinfo.h"
#include "imaging/picturesaver.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace kamelo {

int ViewerSave::formatFor(const std::string& path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return 0;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    static const std::map<std::string, int> codes = {
        {"BMP", 6},  {"PCX", 1},   {"PNG", 75}, {"TIF", 17}, {"TIFF", 17}, {"TGA", 4},
        {"PCT", 56}, {"IFF", 111}, {"GIF", 2},  {"PSD", 76}, {"RAS", 55},  {"SGI", 142},
    };
    // "JPEG" is the same format as "JPG" and gets the same writer.
    if (ext == "JPG" || ext == "JPEG")
        return -1;
    const auto it = codes.find(ext);
    return it == codes.end() ? 0 : it->second;
}

int ViewerSave::save(const imaging::Bitmap& picture, const std::string& path, bool pictureUpright) {
    const int format = formatFor(path);
    if (format == 0)
        return kNotSaved;
    if (format == -1) {
        // The camera information is read from the file before it is replaced.
        JpegPropertyInfo props = JpegPropertyInfo::read(path);
        constexpr uint16_t kOrientationTag = 274;
        if (pictureUpright && props.has(kOrientationTag)) {
            JpegPropertyInfo::Item upright;
            upright.kind = JpegPropertyInfo::Kind::Short;
            upright.shortValue = 1;
            props.set(kOrientationTag, upright);
        }
        return props.saveJpeg(picture, path, kJpegQuality);
    }
    return imaging::PictureSaver::save(picture, path, format, 2);
}

} // namespace kamelo
