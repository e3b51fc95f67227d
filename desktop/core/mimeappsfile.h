#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kamelo::desktop {

// A mimeapps.list (or any desktop-entry style file) edited line by line:
// every byte of every line the edit does not touch stays as it was, line ends
// (LF or CRLF) and a missing final newline included.
class MimeAppsFile {
public:
    static constexpr const char* kDefaults = "Default Applications";

    MimeAppsFile() = default;
    explicit MimeAppsFile(const std::string& bytes);

    // Valid UTF-8 without NUL bytes: the only files this program edits.
    static bool isCleanText(const std::string& bytes);

    // The value of the first such key in a group of that name.
    std::optional<std::string> value(const std::string& group, const std::string& key) const;
    // Replaces the value of every such key in the groups of that name, or adds
    // the key at the end of the last such group (a new group at the end when
    // there is none).
    void set(const std::string& group, const std::string& key, const std::string& value);
    // Drops every line of the key in the groups of that name; false when
    // there was none.
    bool remove(const std::string& group, const std::string& key);

    std::string bytes() const;

private:
    struct Line {
        std::string text; // without its line end
        std::string end;  // "\n", "\r\n" or "" (the last line without one)
    };
    // The group a line starts, or none.
    static std::optional<std::string> groupOf(const std::string& text);
    // The key of a "key=value" line, or none.
    static std::optional<std::string> keyOf(const std::string& text);
    std::string lineEnd() const;
    template <class F> void forEachKeyLine(const std::string& group, const std::string& key, F f);

    std::vector<Line> lines_;
};

} // namespace kamelo::desktop
