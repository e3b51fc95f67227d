#include "viewersave.h"

#include "exif/jpegpropertyinfo.h"
#include "imaging/core/savebyextension.h"
#include "imaging/losslessjpeg.h"
#include "imaging/picturesaver.h"
#include "imaging/result.h"
#include "platform/core/staletemporaries.h"

namespace kamelo {

int ViewerSave::formatFor(const std::string& path) {
    return imaging::saveFormatForPath(path, imaging::SaveTable::Viewer);
}

int ViewerSave::saveTurned(const std::string& path, imaging::PlaneTurn turn, bool pictureUpright,
                           bool* reencoded) {
    if (formatFor(path) != -1)
        return kNotSaved;
    // A save killed here before left its hidden temporary file behind.
    StaleTemporaries::sweepOnceBeside(path);
    imaging::LosslessJpeg::Options options;
    options.upright = pictureUpright;
    imaging::LosslessJpeg::Result r;
    const int rc = imaging::LosslessJpeg::turnFile(path, path, turn, options, r);
    if (reencoded)
        *reencoded = r.reencoded;
    return rc == imaging::result::kUnsupported ? kNotSaved : rc;
}

int ViewerSave::save(const imaging::Bitmap& picture, const std::string& path, bool pictureUpright) {
    const int format = formatFor(path);
    if (format == 0)
        return kNotSaved;
    StaleTemporaries::sweepOnceBeside(path);
    // What the file carries is read before it is replaced; JPEG, PNG, TIFF,
    // WebP and AVIF keep it.
    const bool carries = format == -1 || format == imaging::saveformat::kPng ||
                         format == imaging::saveformat::kTiff ||
                         format == imaging::saveformat::kWebp ||
                         format == imaging::saveformat::kAvif;
    JpegPropertyInfo props = carries ? JpegPropertyInfo::read(path) : JpegPropertyInfo();
    constexpr uint16_t kOrientationTag = 274;
    if (pictureUpright && props.has(kOrientationTag)) {
        JpegPropertyInfo::Item upright;
        upright.kind = JpegPropertyInfo::Kind::Short;
        upright.shortValue = 1;
        props.set(kOrientationTag, upright);
    }
    if (format == -1)
        return props.saveJpeg(picture, path, kJpegQuality);
    if (carries) {
        const imaging::MetadataCarrier keep = props.carrier();
        // The lossy web formats are written at the JPEG's quality, not losslessly.
        if (imaging::PictureSaver::takesQuality(format))
            return imaging::PictureSaver::saveAtQuality(picture, path, format, kJpegQuality, &keep);
        return imaging::PictureSaver::save(picture, path, format, 2, &keep);
    }
    return imaging::PictureSaver::save(picture, path, format, 2);
}

} // namespace kamelo
