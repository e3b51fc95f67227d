#include "packageowned.h"

#include <sys/stat.h>
#include <unistd.h>

namespace kamelo::update {

bool PackageOwnership::managed(const std::string& programFolder) {
    if (::access(programFolder.c_str(), W_OK) != 0)
        return true;
    std::string marker = programFolder;
    if (!marker.empty() && marker.back() != '/')
        marker += '/';
    marker += kMarker;
    // A link or folder of that name is no package's doing.
    struct stat st {};
    return ::lstat(marker.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace kamelo::update
