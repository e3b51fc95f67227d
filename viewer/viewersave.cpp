#include "viewersave.h"

#include "exif/jpegpropertyinfo.h"
#include "imaging/core/savebyextension.h"
#include "imaging/picturesaver.h"

namespace kamelo {

int ViewerSave::formatFor(const std::string& path) {
    return imaging::saveFormatForPath(path, imaging::SaveTable::Viewer);
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
