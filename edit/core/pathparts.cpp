#include "pathparts.h"

#include <algorithm>
#include <cctype>

namespace kamelo::edit {

PathParts PathParts::split(const std::string& path) {
    PathParts p;
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    p.directory = path.substr(0, nameStart);
    const std::string name = path.substr(nameStart);
    const size_t dot = name.rfind('.');
    // A leading dot names a hidden file, not an extension.
    if (dot == std::string::npos || dot == 0) {
        p.title = name;
    } else {
        p.title = name.substr(0, dot);
        p.extension = name.substr(dot + 1);
    }
    std::transform(p.extension.begin(), p.extension.end(), p.extension.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return p;
}

} // namespace kamelo::edit
