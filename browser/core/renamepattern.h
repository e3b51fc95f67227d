#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kamelo {

// The naming rule of the batch rename: prefix, running number, date taken,
// suffix, then the original extension.
struct RenamePattern {
    // Nine digits keep start + row far from any integer limit.
    static constexpr int kMaxDigits = 9;
    static constexpr int kDateFormatCount = 4;
    // What a file name may never hold on the systems pictures travel to.
    static constexpr std::string_view kForbidden = "\\/:*?\"<>|";

    std::string prefix;
    int maskWidth = 2;   // 0 leaves the number out
    uint32_t start = 0;  // at most kMaxDigits digits
    int dateFormat = -1; // 0..3, -1 for no date
    std::string suffix;

    // The new name of the row-th file (0-based) now called originalName;
    // dateTaken in seconds since 1970 when the picture has one.
    std::string name(uint64_t row, std::string_view originalName,
                     std::optional<int64_t> dateTaken) const;
    // The same appended to out: a keystroke names every row of a big
    // folder into one buffer.
    void appendName(std::string& out, uint64_t row, std::string_view originalName,
                    std::optional<int64_t> dateTaken) const;

    // "0009" for 9 in width 4; the digits unchanged when they need more
    // room; empty for width 0.
    static std::string numberText(uint64_t number, int width);
    // The date in local time in one of the four formats; empty for an
    // unknown format.
    static std::string dateText(int64_t seconds, int format);
    // How the format list names format i ("YYYY-MM-DD HH-MM-SS", ...).
    static const char* dateFormatName(int format);
    // The extension with its dot ("" without one); a leading dot alone
    // does not start an extension.
    static std::string_view extension(std::string_view name);
    // No forbidden character (and no control character).
    static bool isAllowedText(std::string_view text);
    // Only "#", at most kMaxDigits of them.
    static bool isValidMask(std::string_view mask);
    // Decimal digits only, at most kMaxDigits; empty reads as 0.
    static bool parseStart(std::string_view text, uint32_t& value);

    enum class ParseError { None, Forbidden, MaskTooLong, TwoMasks, MisplacedDate };
    // A pattern written on one line: the prefix, a run of "#" (the mask),
    // optionally one date format in brackets right after it ("[YYYY-MM-DD]",
    // spelt as dateFormatName gives it), then the suffix. Without "#" the
    // date (or nothing) ends the prefix. A date anywhere else is refused:
    // the rule has no place for it. The start number is not part of it.
    static ParseError parse(std::string_view text, RenamePattern& out);
};

} // namespace kamelo
