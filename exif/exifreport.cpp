#include "exifreport.h"

#include "exif/core/jpegsectionreader.h"
#include "imaging/core/filebytes.h"
#include "imaging/filecomments.h"
#include "jpegpropertyinfo.h"

#include <cstdio>

namespace kamelo {

ExifSources ExifReport::sources(const std::string& path) {
    ExifSources s;
    const JpegPropertyInfo props = JpegPropertyInfo::read(path);
    if (std::FILE* f = imaging::openRegularStream(path)) {
        JpegSectionReader reader(&s.section);
        reader.readSections(f);
        std::fclose(f);
    }
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
