#pragma once

#include <string>

namespace kamelo::desktop {

// A value kept in a line of tab-separated fields: tabs, line ends and
// backslashes written as \t, \n and \\ so any path or setting fits one field.
inline std::string escapeField(const std::string& s) {
    std::string out;
    for (char c : s)
        out += c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : std::string(1, c);
    return out;
}

inline std::string unescapeField(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            const char n = s[++i];
            out += n == 't' ? '\t' : n == 'n' ? '\n' : n;
        } else {
            out += s[i];
        }
    }
    return out;
}

} // namespace kamelo::desktop
