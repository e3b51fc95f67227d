#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kamelo::imaging {

// Comment types: which camera value a caller asks for.
namespace comment {
inline constexpr int kDateTime = 2;          // ASCII "YYYY:MM:DD HH:MM:SS"
inline constexpr int kMake = 5;              // ASCII
inline constexpr int kModel = 6;             // ASCII
inline constexpr int kSoftware = 9;          // ASCII
inline constexpr int kExifVersion = 21;      // 4 bytes, e.g. "0220"
inline constexpr int kDateTimeOriginal = 22; // ASCII, the capture date and time
inline constexpr int kAperture = 25;         // signed rational (ApertureValue)
inline constexpr int kFocalLength = 33;      // unsigned rational
inline constexpr int kExposureTime = 34;     // unsigned rational
inline constexpr int kFNumber = 35;          // unsigned rational
inline constexpr int kIsoSpeed = 162;        // 16-bit values
inline constexpr int kOrientation = 274;     // 16-bit value, 1-8 (the tag number)
} // namespace comment

// Camera values stored in a picture's EXIF block, read without decoding
// the picture.
class FileComments {
public:
    // The value of one comment type, as bytes: text without its terminating
    // NUL; rationals as two 32-bit numbers (numerator, denominator) and
    // 16-bit values, both in this machine's byte order; undefined data as
    // stored. Returns the size (1 or more), 0 when the file has no such
    // value, or an error code.
    static int read(const std::string& path, int type, std::vector<uint8_t>& out);
    // Several types with the file read once; only the present ones.
    static std::map<int, std::vector<uint8_t>> readMany(const std::string& path,
                                                        const std::vector<int>& types);
    // Convenience for text types; empty when absent.
    static std::string text(const std::string& path, int type);

    // The embedded thumbnail as compressed bytes (JPEG). Returns 1, or
    // kNoStamp when the file has none.
    static int readStampBytes(const std::string& path, std::vector<uint8_t>& out);
};

} // namespace kamelo::imaging
