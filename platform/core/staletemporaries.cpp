#include "staletemporaries.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kamelo {

namespace {

// The kernel stamps files from the coarse clock: a file this process writes
// later never looks older than this.
struct timespec coarseNow() {
    struct timespec t {};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &t);
    return t;
}

// Taken while the program loads, before anything is written.
const struct timespec kStart = coarseNow();

bool isAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// prefix followed by exactly six letters or digits (mkstemp's XXXXXX).
bool isMkstempName(std::string_view name, std::string_view prefix) {
    if (name.size() != prefix.size() + 6 || name.substr(0, prefix.size()) != prefix)
        return false;
    for (char c : name.substr(prefix.size()))
        if (!isAlnum(c))
            return false;
    return true;
}

// ".NAME.kamelo-DIGITS": a temporary file of an import.
bool isImportName(std::string_view name) {
    constexpr std::string_view kMark = ".kamelo-";
    if (name.size() < 1 + 1 + kMark.size() + 1 || name.front() != '.')
        return false;
    const size_t mark = name.rfind(kMark);
    if (mark == std::string_view::npos || mark < 2)
        return false;
    const std::string_view digits = name.substr(mark + kMark.size());
    if (digits.empty() || digits.size() > 10)
        return false;
    for (char c : digits)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool before(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

std::mutex sweptMutex;
std::set<std::pair<dev_t, ino_t>> swept;

} // namespace

bool StaleTemporaries::isOurs(std::string_view name) {
    return isMkstempName(name, ".kamelo-save-") || isMkstempName(name, ".kamelo-copy-") ||
           isMkstempName(name, ".kamelo-rename-journal-") || isImportName(name);
}

int StaleTemporaries::sweep(const std::string& folder, const struct timespec& limit) {
    const int dirFd = ::open(folder.empty() ? "." : folder.c_str(),
                             O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (dirFd < 0)
        return 0;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return 0;
    }
    int removed = 0;
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_type != DT_REG && e->d_type != DT_UNKNOWN)
            continue;
        if (!isOurs(e->d_name))
            continue;
        // Looked at through the folder's own handle and not followed, so a
        // link put in its place is never taken for the file.
        struct stat st {};
        if (::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        // The status time, which no program can set back: a file being
        // written, or given an old modification time, is never taken.
        if (!before(st.st_ctim, limit))
            continue;
        if (::unlinkat(dirFd, e->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

int StaleTemporaries::sweepOnce(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.empty() ? "." : folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return 0;
    {
        std::lock_guard lock(sweptMutex);
        if (!swept.insert({st.st_dev, st.st_ino}).second)
            return 0;
    }
    return sweep(folder, kStart);
}

int StaleTemporaries::sweepOnceBeside(const std::string& filePath) {
    const size_t slash = filePath.rfind('/');
    if (slash == std::string::npos)
        return sweepOnce(".");
    return sweepOnce(slash == 0 ? std::string("/") : filePath.substr(0, slash));
}

struct timespec StaleTemporaries::processStart() {
    return kStart;
}

} // namespace kamelo
