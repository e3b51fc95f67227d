#include "exifreport.h"

#include "exif/core/jpegsectionreader.h"
#include "imaging/core/filebytes.h"
#include "imaging/filecomments.h"
#include "imaging/picturefile.h"
#include "jpegpropertyinfo.h"

#include <cstdio>

namespace kamelo {

namespace {

// A resolution's numerator over its denominator; 0 when absent.
float rationalOf(const JpegPropertyInfo& props, uint16_t tag) {
    const JpegPropertyInfo::Item* i = props.item(tag);
    if (!i || i->kind != JpegPropertyInfo::Kind::Rational || i->denominator <= 0 ||
        i->numerator < 0)
        return 0;
    return float(i->numerator) / float(i->denominator);
}

// Files without JPEG sections (HEIF, AVIF, WebP, JPEG XL, RAW, TIFF...) that
// carry an EXIF block: the size is the picture's own, the resolution the
// block's.
void fillFromProperties(const std::string& path, const JpegPropertyInfo& props,
                        ExifImageInfo& info) {
    imaging::FileInfo file;
    if (imaging::PictureFile::readInfo(path, file) >= 1) {
        info.width = file.width;
        info.height = file.height;
    }
    info.xResolution = rationalOf(props, 282);
    info.yResolution = rationalOf(props, 283);
    switch (props.shortOr(296)) {
    case 3: // centimetres
        info.resolutionUnit = 0.3937f;
        break;
    case 1:
    case 2:
    case 0xFFFF: // inches when unstated
        info.resolutionUnit = 1.0f;
        break;
    default:
        info.resolutionUnit = 0;
    }
    info.hasExif = true;
}

} // namespace

ExifSources ExifReport::sources(const std::string& path) {
    ExifSources s;
    const JpegPropertyInfo props = JpegPropertyInfo::read(path);
    bool jpeg = false;
    if (std::FILE* f = imaging::openRegularStream(path)) {
        JpegSectionReader reader(&s.section);
        jpeg = reader.readSections(f);
        std::fclose(f);
    }
    if (!jpeg && props.size() > 0)
        fillFromProperties(path, props, s.section);
    // One read of the file for all the comment rows.
    s.comments = imaging::FileComments::readMany(path, {5, 6, 25, 9, 22, 2, 34, 162, 33, 35, 21});
    s.properties.resolutionUnit = props.shortValue(296);
    s.properties.orientation = props.shortValue(274);
    s.properties.flash = props.shortValue(37385);
    s.properties.colorSpace = props.shortValue(40961);
    s.properties.lightSource = props.shortValue(37384);
    s.properties.meteringMode = props.shortValue(37383);
    return s;
}

std::vector<ExifRow> ExifReport::rows(const std::string& path) {
    return ExifRows::build(sources(path));
}

} // namespace kamelo
