#include "editwriter.h"

#include "exif/jpegpropertyinfo.h"
#include "imaging/core/filebytes.h"
#include "imaging/core/savebyextension.h"
#include "imaging/picturesaver.h"
#include "imaging/result.h"
#include "platform/fileerrortext.h"
#include "resources/stringtable.h"

#include <algorithm>

namespace kamelo::edit {

namespace {
constexpr uint16_t kOrientationTag = 274;
}

int EditWriter::write(const Request& r, std::string& reason) {
    int format = 0;
    int quality = kJpegQuality;
    if (r.convertTo) {
        format = r.convertTo->libraryFormat;
        // JPEG, WebP and AVIF at the slider's quality.
        if (r.convertTo->usesQuality)
            quality = r.jpegQuality ? std::clamp(*r.jpegQuality, 0, 100)
                                    : imaging::PictureSaver::jpegQualityFor(r.qualityFactor);
        if (format == imaging::saveformat::kJpeg)
            format = imaging::kJpegWriter; // the camera information comes along
    } else {
        format = imaging::saveFormatForPath(r.destination, imaging::SaveTable::Batch);
    }
    if (format == 0) {
        reason = std::string(res::text(res::IDS_BATCH_NO_WRITER));
        return imaging::result::kSaveFormat;
    }
    if (!r.picture || !r.picture->isAllocated()) {
        reason = imaging::resultText(imaging::result::kNoBitmap);
        return imaging::result::kNoBitmap;
    }
    // Read from the source before anything replaces it; the formats that
    // cannot carry metadata do without.
    const bool carries = format == imaging::kJpegWriter || format == imaging::saveformat::kPng ||
                         format == imaging::saveformat::kTiff ||
                         format == imaging::saveformat::kWebp ||
                         format == imaging::saveformat::kAvif;
    JpegPropertyInfo props = carries ? JpegPropertyInfo::read(r.source) : JpegPropertyInfo();
    if (r.turnedUpright && props.has(kOrientationTag)) {
        JpegPropertyInfo::Item upright;
        upright.kind = JpegPropertyInfo::Kind::Short;
        upright.shortValue = 1;
        props.set(kOrientationTag, upright);
    }
    int rc = 0;
    if (format == imaging::kJpegWriter) {
        rc = props.saveJpeg(*r.picture, r.destination, quality);
    } else if (carries) {
        const imaging::MetadataCarrier keep = props.carrier();
        rc =
            imaging::PictureSaver::saveAtQuality(*r.picture, r.destination, format, quality, &keep);
    } else {
        rc = imaging::PictureSaver::save(*r.picture, r.destination, format, 2);
    }
    if (rc < 1) {
        const int error = rc == imaging::result::kFileWrite ? imaging::lastWriteError() : 0;
        reason = error != 0 ? FileErrorText::reason(error).toStdString() : imaging::resultText(rc);
    }
    return rc;
}

} // namespace kamelo::edit
