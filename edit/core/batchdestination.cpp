#include "batchdestination.h"

#include "pathparts.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <sys/stat.h>

namespace kamelo::edit {

namespace {
bool equalIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::toupper(x) == std::toupper(y);
           });
}

std::string nameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
} // namespace

std::string BatchDestination::forSource(const std::string& source, DestinationMode mode,
                                        const std::string& folder) {
    if (mode == DestinationMode::Overwrite)
        return source;
    std::string out = folder;
    if (out.empty() || out.back() != '/')
        out += '/';
    return out + nameOf(source);
}

std::string BatchDestination::forConversion(const std::string& source,
                                            const std::string& formatName) {
    const PathParts parts = PathParts::split(source);
    if (equalIgnoringCase(parts.extension, formatName))
        return source;
    return parts.drive + parts.directory + parts.title + "." + formatName;
}

int BatchDestination::ensureFolder(const std::string& folder) {
    if (folder.empty())
        return ENOENT;
    size_t pos = folder.front() == '/' ? 1 : 0;
    for (;;) {
        const size_t next = folder.find('/', pos);
        const std::string level = folder.substr(0, next);
        if (!level.empty() && level.back() != '/') {
            struct stat st {};
            if (::stat(level.c_str(), &st) == 0) {
                if (!S_ISDIR(st.st_mode))
                    return ENOTDIR;
            } else if (::mkdir(level.c_str(), 0777) != 0 && errno != EEXIST) {
                return errno;
            }
        }
        if (next == std::string::npos)
            return 0;
        pos = next + 1;
    }
}

} // namespace kamelo::edit
