#pragma once

#include <new>
#include <stdexcept>
#include <string>

namespace kamelo::imaging {

// Results of imaging calls: 1 or more is success, anything below 1 an error.
// The values stay clear of 0 and -1 (the viewer's own "failed and reported"
// and "no picture") and of the viewer's navigation codes -1086 ... -1089, which
// a row callback may return to abort a load.
namespace result {
inline constexpr int kSuccess = 1;
inline constexpr int kNoMemory = -2;
inline constexpr int kInvalidParameter = -3;
inline constexpr int kFileNotFound = -10;
inline constexpr int kFileRead = -11;
inline constexpr int kFileWrite = -12;
inline constexpr int kUnknownFormat = -13; // no decoder recognises the data
inline constexpr int kCorruptData = -14;   // recognised, but malformed
inline constexpr int kTruncated = -15;     // data ends early
inline constexpr int kUnsupported = -16;   // a variant this program does not read
inline constexpr int kTooLarge = -17;      // dimensions beyond what can be held
inline constexpr int kNoBitmap = -18;      // the operation needs a picture
inline constexpr int kNoStamp = -19;       // no embedded thumbnail
inline constexpr int kSaveFormat = -20;    // unknown save format code
inline constexpr int kAborted = -21;       // stopped by a callback without a code
} // namespace result

inline bool succeeded(int code) {
    return code >= 1;
}

// Runs one entry point of the module: an allocation that fails anywhere
// inside becomes kNoMemory instead of an exception that would end the
// program.
template <class F> int withoutThrowing(F&& operation) noexcept {
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        return result::kNoMemory;
    } catch (const std::length_error&) {
        return result::kNoMemory;
    }
}

// A short Korean text for an error code, for messages and logs.
std::string resultText(int code);

} // namespace kamelo::imaging
