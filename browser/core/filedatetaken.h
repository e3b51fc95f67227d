#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kamelo {

// The date a picture was taken, read from its own EXIF block when the list
// has not filled it in (the loader only does so for thumbnails it reached).
class FileDateTaken {
public:
    // The EXIF block sits in the first segments: only that much is read.
    static constexpr size_t kHeadBytes = 256 * 1024;
    // DateTimeOriginal as local time in seconds since 1970; nothing for a
    // file that is not a regular JPEG with a valid date.
    static std::optional<int32_t> read(const std::string& path);
};

} // namespace kamelo
