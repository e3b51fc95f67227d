#pragma once

#include <string>

namespace kamelo::edit {

// A path split the way the batch runs name their outputs. Linux has no
// drive, so drive stays empty; directory keeps its trailing "/".
struct PathParts {
    std::string drive;
    std::string directory; // "/photos/" ("" for a bare name)
    std::string title;     // the name without its extension
    std::string extension; // without the dot, upper-cased ("JPG")

    static PathParts split(const std::string& path);
};

} // namespace kamelo::edit
