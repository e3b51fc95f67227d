#include "renamepattern.h"

#include <cstdio>
#include <ctime>

namespace kamelo {

namespace {

constexpr const char* kFormats[RenamePattern::kDateFormatCount] = {
    "%d-%02d-%02d %02d-%02d-%02d", "%d_%02d_%02d %02d_%02d_%02d", "%d-%02d-%02d", "%d_%02d_%02d"};
constexpr const char* kFormatNames[RenamePattern::kDateFormatCount] = {
    "YYYY-MM-DD HH-MM-SS", "YYYY_MM_DD HH_MM_SS", "YYYY-MM-DD", "YYYY_MM_DD"};

} // namespace

std::string RenamePattern::name(uint64_t row, std::string_view originalName,
                                std::optional<int64_t> dateTaken) const {
    std::string n;
    appendName(n, row, originalName, dateTaken);
    return n;
}

void RenamePattern::appendName(std::string& out, uint64_t row, std::string_view originalName,
                               std::optional<int64_t> dateTaken) const {
    out += prefix;
    if (maskWidth > 0) {
        char digits[24];
        size_t count = 0;
        for (uint64_t v = uint64_t(start) + row; count == 0 || v > 0; v /= 10)
            digits[count++] = char('0' + v % 10);
        if (size_t(maskWidth) > count)
            out.append(size_t(maskWidth) - count, '0');
        while (count > 0)
            out += digits[--count];
    }
    if (dateTaken && dateFormat >= 0)
        out += dateText(*dateTaken, dateFormat);
    out += suffix;
    out += extension(originalName);
}

std::string RenamePattern::numberText(uint64_t number, int width) {
    if (width <= 0)
        return {};
    std::string digits = std::to_string(number);
    if (size_t(width) > digits.size())
        digits.insert(0, size_t(width) - digits.size(), '0');
    return digits;
}

std::string RenamePattern::dateText(int64_t seconds, int format) {
    if (format < 0 || format >= kDateFormatCount)
        return {};
    const time_t t = static_cast<time_t>(seconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return {};
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, kFormats[format], tm.tm_year + 1900, tm.tm_mon + 1,
                                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return n > 0 && size_t(n) < sizeof buf ? std::string(buf, size_t(n)) : std::string();
}

const char* RenamePattern::dateFormatName(int format) {
    return format >= 0 && format < kDateFormatCount ? kFormatNames[format] : "";
}

std::string_view RenamePattern::extension(std::string_view name) {
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? std::string_view() : name.substr(dot);
}

bool RenamePattern::isAllowedText(std::string_view text) {
    for (char c : text)
        if (kForbidden.find(c) != std::string_view::npos || static_cast<unsigned char>(c) < 0x20 ||
            c == 0x7f)
            return false;
    return true;
}

bool RenamePattern::isValidMask(std::string_view mask) {
    return mask.size() <= size_t(kMaxDigits) &&
           mask.find_first_not_of('#') == std::string_view::npos;
}

bool RenamePattern::parseStart(std::string_view text, uint32_t& value) {
    if (text.size() > size_t(kMaxDigits) ||
        text.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    uint32_t v = 0;
    for (char c : text)
        v = v * 10 + uint32_t(c - '0');
    value = v;
    return true;
}

namespace {

// The date format whose bracketed spelling starts text, or -1.
int dateTokenAt(std::string_view text, size_t& length) {
    // Longest first: "[YYYY-MM-DD HH-MM-SS]" begins like "[YYYY-MM-DD".
    for (int f = 0; f < RenamePattern::kDateFormatCount; ++f) {
        const std::string token = std::string("[") + RenamePattern::dateFormatName(f) + "]";
        if (text.substr(0, token.size()) == token) {
            length = token.size();
            return f;
        }
    }
    return -1;
}

// Where the first date token starts, or npos.
size_t findDateToken(std::string_view text, int& format, size_t& length) {
    for (size_t at = text.find('['); at != std::string_view::npos; at = text.find('[', at + 1))
        if ((format = dateTokenAt(text.substr(at), length)) >= 0)
            return at;
    return std::string_view::npos;
}

} // namespace

RenamePattern::ParseError RenamePattern::parse(std::string_view text, RenamePattern& out) {
    RenamePattern p;
    p.start = out.start;
    p.maskWidth = 0;
    const size_t hash = text.find('#');
    int format = -1;
    size_t length = 0;
    std::string_view rest;
    if (hash != std::string_view::npos) {
        p.prefix = std::string(text.substr(0, hash));
        size_t end = text.find_first_not_of('#', hash);
        if (end == std::string_view::npos)
            end = text.size();
        if (end - hash > size_t(kMaxDigits))
            return ParseError::MaskTooLong;
        p.maskWidth = int(end - hash);
        rest = text.substr(end);
        if ((format = dateTokenAt(rest, length)) >= 0)
            rest = rest.substr(length);
    } else {
        const size_t at = findDateToken(text, format, length);
        if (at == std::string_view::npos) {
            p.prefix = std::string(text);
        } else {
            p.prefix = std::string(text.substr(0, at));
            rest = text.substr(at + length);
        }
    }
    p.dateFormat = format;
    p.suffix = std::string(rest);
    if (p.suffix.find('#') != std::string::npos)
        return ParseError::TwoMasks;
    int again = -1;
    if (findDateToken(p.suffix, again, length) != std::string::npos)
        return ParseError::MisplacedDate;
    if (!isAllowedText(p.prefix) || !isAllowedText(p.suffix))
        return ParseError::Forbidden;
    out = std::move(p);
    return ParseError::None;
}

} // namespace kamelo
