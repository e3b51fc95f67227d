#include "mimeappsfile.h"

#include <cstdint>

namespace kamelo::desktop {

namespace {
std::string trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}
} // namespace

MimeAppsFile::MimeAppsFile(const std::string& bytes) {
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t nl = bytes.find('\n', at);
        Line line;
        if (nl == std::string::npos) {
            line.text = bytes.substr(at);
            at = bytes.size();
        } else {
            line.text = bytes.substr(at, nl - at);
            line.end = "\n";
            at = nl + 1;
            if (!line.text.empty() && line.text.back() == '\r') {
                line.text.pop_back();
                line.end = "\r\n";
            }
        }
        lines_.push_back(std::move(line));
    }
}

bool MimeAppsFile::isCleanText(const std::string& bytes) {
    size_t i = 0;
    const size_t n = bytes.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == 0)
            return false;
        if (c < 0x80) {
            ++i;
            continue;
        }
        int follow;
        uint32_t cp;
        if ((c & 0xE0) == 0xC0) {
            follow = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            follow = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            follow = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + follow >= n)
            return false;
        for (int k = 1; k <= follow; ++k) {
            const unsigned char f = static_cast<unsigned char>(bytes[i + k]);
            if ((f & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (f & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        static const uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[follow] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return false;
        i += follow + 1;
    }
    return true;
}

std::optional<std::string> MimeAppsFile::groupOf(const std::string& text) {
    const std::string t = trimmed(text);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']')
        return t.substr(1, t.size() - 2);
    return std::nullopt;
}

std::optional<std::string> MimeAppsFile::keyOf(const std::string& text) {
    const std::string t = trimmed(text);
    if (t.empty() || t[0] == '#' || t[0] == '[')
        return std::nullopt;
    const size_t eq = text.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    return trimmed(text.substr(0, eq));
}

template <class F>
void MimeAppsFile::forEachKeyLine(const std::string& group, const std::string& key, F f) {
    bool inGroup = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (const std::optional<std::string> g = groupOf(lines_[i].text)) {
            inGroup = *g == group;
            continue;
        }
        if (inGroup && keyOf(lines_[i].text) == key)
            f(i);
    }
}

std::optional<std::string> MimeAppsFile::value(const std::string& group,
                                               const std::string& key) const {
    bool inGroup = false;
    for (const Line& line : lines_) {
        if (const std::optional<std::string> g = groupOf(line.text)) {
            inGroup = *g == group;
            continue;
        }
        if (inGroup && keyOf(line.text) == key)
            return trimmed(line.text.substr(line.text.find('=') + 1));
    }
    return std::nullopt;
}

std::string MimeAppsFile::lineEnd() const {
    size_t crlf = 0, lf = 0;
    for (const Line& line : lines_)
        if (line.end == "\r\n")
            ++crlf;
        else if (line.end == "\n")
            ++lf;
    return crlf > lf ? "\r\n" : "\n";
}

void MimeAppsFile::set(const std::string& group, const std::string& key, const std::string& value) {
    bool found = false;
    forEachKeyLine(group, key, [&](size_t i) {
        Line& line = lines_[i];
        // The blanks before "=" and after it stay as they were.
        const size_t eq = line.text.find('=');
        size_t v = eq + 1;
        while (v < line.text.size() && (line.text[v] == ' ' || line.text[v] == '\t'))
            ++v;
        line.text = line.text.substr(0, v) + value;
        found = true;
    });
    if (found)
        return;
    const std::string end = lineEnd();
    // After the last key of the last such group.
    size_t insertAt = lines_.size();
    bool haveGroup = false;
    bool inGroup = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (const std::optional<std::string> g = groupOf(lines_[i].text)) {
            inGroup = *g == group;
            if (inGroup) {
                haveGroup = true;
                insertAt = i + 1;
            }
            continue;
        }
        if (inGroup && !trimmed(lines_[i].text).empty())
            insertAt = i + 1;
    }
    std::vector<Line> added;
    if (!haveGroup)
        added.push_back({"[" + group + "]", end});
    added.push_back({key + "=" + value, end});
    if (insertAt > 0 && lines_[insertAt - 1].end.empty())
        lines_[insertAt - 1].end = end; // the old last line needs its end now
    if (insertAt == lines_.size() && !haveGroup && !lines_.empty() &&
        !trimmed(lines_.back().text).empty())
        added.insert(added.begin(), Line{"", end}); // a blank line before the new group
    lines_.insert(lines_.begin() + long(insertAt), added.begin(), added.end());
}

bool MimeAppsFile::remove(const std::string& group, const std::string& key) {
    std::vector<size_t> doomed;
    forEachKeyLine(group, key, [&](size_t i) { doomed.push_back(i); });
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) {
        // A last line without an end keeps the file ending the same way.
        if (*it + 1 == lines_.size() && lines_[*it].end.empty() && *it > 0)
            lines_[*it - 1].end.clear();
        lines_.erase(lines_.begin() + long(*it));
    }
    return !doomed.empty();
}

std::string MimeAppsFile::bytes() const {
    std::string out;
    for (const Line& line : lines_)
        out += line.text + line.end;
    return out;
}

} // namespace kamelo::desktop
