#include "saveaswriter.h"

#include "imaging/core/savebyextension.h"
#include "imaging/picturesaver.h"
#include "imaging/result.h"

namespace kamelo {

JpegPropertyInfo SaveAsWriter::propertiesFor(const std::string& sourcePath, bool upright) {
    JpegPropertyInfo props = JpegPropertyInfo::read(sourcePath);
    if (upright)
        makeUpright(props);
    return props;
}

void SaveAsWriter::makeUpright(JpegPropertyInfo& props) {
    if (!props.has(kOrientationTag))
        return;
    JpegPropertyInfo::Item upright;
    upright.kind = JpegPropertyInfo::Kind::Short;
    upright.shortValue = 1;
    props.set(kOrientationTag, upright);
}

int SaveAsWriter::save(const imaging::Bitmap& picture, const JpegPropertyInfo& props,
                       const std::string& path, int jpegQuality) {
    if (!picture.isAllocated())
        return imaging::result::kNoBitmap;
    const int format = imaging::saveFormatForPath(path, imaging::SaveTable::Viewer);
    if (format == 0)
        return kNotSaved;
    if (format == imaging::kJpegWriter)
        return props.saveJpeg(picture, path, jpegQuality);
    // The library's own writers at 24 bits and its best quality factor.
    return imaging::PictureSaver::save(picture, path, format, 2);
}

} // namespace kamelo
