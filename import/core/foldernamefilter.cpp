#include "foldernamefilter.h"

namespace kamelo::acquire {

bool isRefusedNameChar(char32_t c) {
    switch (c) {
    case U'\\':
    case U'/':
    case U':':
    case U'*':
    case U'?':
    case U'"':
    case U'<':
    case U'>':
    case U'|':
        return true;
    default:
        return false;
    }
}

// Every refused character is ASCII, so a byte test is enough: UTF-8 lead
// and continuation bytes are all 0x80 or above.
std::string withoutRefusedChars(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (!isRefusedNameChar(char32_t(static_cast<unsigned char>(c))))
            out += c;
    return out;
}

bool hasRefusedChars(const std::string& text) {
    return withoutRefusedChars(text) != text;
}

} // namespace kamelo::acquire
