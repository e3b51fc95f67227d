#pragma once

#include <string>
#include <vector>

namespace kamelo::desktop {

// The program's desktop entry and the desktop-entry quoting rules.
class DesktopEntry {
public:
    // The packaged kamelo.desktop with Exec naming this program by its
    // absolute path (so the entry works from any folder) and MimeType listing
    // the associated types.
    static std::string forProgram(const std::string& programPath);

    // One Exec argument as the desktop-entry rules write it: "%" doubled;
    // in double quotes only when it holds a reserved character (blank, tab,
    // newline, " ' \\ > < ~ | & ; $ * ? # ( ) `), with " ` $ \\ escaped
    // inside; then escaped as a string value. Plain paths stay unquoted
    // because Debian's xdg-mime takes the Exec's first word as it stands.
    static std::string execArgument(const std::string& argument);
    // The program an Exec value starts, links resolved: its first argument,
    // looked up in the ':'-separated search path when it holds no '/'.
    // Empty when there is no such executable file.
    static std::string programOf(const std::string& execValue, const std::string& searchPath);
    // The arguments of an Exec value (the reverse of the rules above).
    static std::vector<std::string> splitExec(const std::string& value);
    // The Exec value's arguments without field codes, joined by blanks.
    static std::string commandWithoutFieldCodes(const std::string& value);
    // The value of a key in the "[Desktop Entry]" group of a file's bytes.
    static std::string keyValue(const std::string& bytes, const std::string& key);

    static const char* packagedTemplate();
};

} // namespace kamelo::desktop
