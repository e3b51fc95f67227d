#pragma once

#include "exifimageinfo.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kamelo {

// The property values the rows take from the picture's EXIF items
// (absent values stay empty).
struct ExifPropertyValues {
    std::optional<uint16_t> resolutionUnit;
    std::optional<uint16_t> orientation;
    std::optional<uint16_t> flash;
    std::optional<uint16_t> colorSpace;
    std::optional<uint16_t> lightSource;
    std::optional<uint16_t> meteringMode;
};

// Everything the 21 rows are made from: the section reader's record, the
// file comments by type (present ones only; rationals as two 32-bit numbers
// and shorts in this machine's order) and the property values.
struct ExifSources {
    ExifImageInfo section;
    std::map<int, std::vector<uint8_t>> comments;
    ExifPropertyValues properties;
};

struct ExifRow {
    std::string label;
    std::string value;
};

// The 21 rows of the camera information dialog and pane, labelled and
// formatted as they are shown (UTF-8).
class ExifRows {
public:
    static constexpr int kCount = 21;
    static std::vector<ExifRow> build(const ExifSources& sources);
    static std::vector<std::string> labels();
    // "title, width; title, width" as (title, width) pairs.
    static std::vector<std::pair<std::string, int>> columns(const std::string& text);

    static std::string exposureText(double seconds);
    static std::string flashText(int value);
    static std::string lightSourceText(int value);
    static std::string meteringText(std::optional<uint16_t> value);
    static std::string colorSpaceText(std::optional<uint16_t> value);
    static std::string versionText(const std::vector<uint8_t>& version);
};

} // namespace kamelo
