#include "filedatetaken.h"

#include "browser/core/thumbfit.h"
#include "exif/core/jpegsectionreader.h"
#include "imaging/core/filebytes.h"

#include <cstdio>
#include <vector>

namespace kamelo {

std::optional<int32_t> FileDateTaken::read(const std::string& path) {
    std::vector<uint8_t> head;
    if (imaging::readFileHead(path, kHeadBytes, head) < 1 || head.size() < 4)
        return std::nullopt;
    std::FILE* f = fmemopen(head.data(), head.size(), "rb");
    if (!f)
        return std::nullopt;
    ExifImageInfo info;
    JpegSectionReader reader(&info);
    // A file cut short after its EXIF block still gives its date.
    reader.readSections(f);
    std::fclose(f);
    int32_t seconds = 0;
    if (info.dateTime.empty() || !ThumbFit::captureTime(info.dateTime, seconds))
        return std::nullopt;
    return seconds;
}

} // namespace kamelo
