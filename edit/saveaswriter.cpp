#include "saveaswriter.h"

#include "imaging/core/filebytes.h"
#include "imaging/core/savebyextension.h"
#include "imaging/picturesaver.h"
#include "imaging/result.h"
#include "platform/core/staletemporaries.h"
#include "platform/fileerrortext.h"

namespace kamelo::edit {

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
                       const std::string& path, int jpegQuality, std::string& reason) {
    reason.clear();
    const int format = imaging::saveFormatForPath(path, imaging::SaveTable::Viewer);
    if (format == 0)
        return kNotSaved;
    // A save killed here before left its hidden temporary file behind.
    StaleTemporaries::sweepOnceBeside(path);
    int rc = imaging::result::kNoBitmap;
    if (picture.isAllocated()) {
        // WebP and AVIF take the panel's quality as JPEG does; the other
        // writers at 24 bits take their best quality factor.
        if (format == imaging::kJpegWriter) {
            rc = props.saveJpeg(picture, path, jpegQuality);
        } else if (imaging::PictureSaver::takesQuality(format)) {
            const imaging::MetadataCarrier keep = props.carrier();
            rc = imaging::PictureSaver::saveAtQuality(picture, path, format, jpegQuality, &keep);
        } else {
            const imaging::MetadataCarrier keep = props.carrier();
            rc = imaging::PictureSaver::save(picture, path, format, 2, &keep);
        }
    }
    if (rc < 1) {
        // A refused write says why (a full disk, a read-only folder, ...).
        const int error = rc == imaging::result::kFileWrite ? imaging::lastWriteError() : 0;
        reason = error != 0 ? FileErrorText::reason(error).toStdString() : imaging::resultText(rc);
    }
    return rc;
}

} // namespace kamelo::edit
