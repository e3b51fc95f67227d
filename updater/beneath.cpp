#include "updater/beneath.h"

#include "updater/paths.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace vela {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// close() that keeps the errno of the failure being reported.
void closeKeepingErrno(int fd) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
}

std::string withoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\'))
        path.pop_back();
    return path;
}

// The kernel's own resolution: one call, no link and no ".." escape.
int openat2Folder(int base, const std::string& relative) {
#ifdef SYS_openat2
    open_how how{};
    // Without O_NOFOLLOW, so that a link as the last part, too, fails
    // with ELOOP rather than ENOTDIR.
    how.flags = static_cast<uint64_t>(kFolderFlags & ~O_NOFOLLOW);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
    return static_cast<int>(::syscall(SYS_openat2, base, relative.c_str(), &how, sizeof how));
#else
    (void)base;
    (void)relative;
    errno = ENOSYS;
    return -1;
#endif
}

} // namespace

std::optional<std::string> relativeBelow(const std::string& root, const std::string& path) {
    if (root.empty())
        return std::nullopt;
    const std::string base = withoutTrailingSeparators(root) + "/";
    if (path.size() <= base.size() || path.compare(0, base.size(), base) != 0)
        return std::nullopt;
    std::string rest;
    for (const auto& part : pathParts(path.substr(base.size())))
        rest += (rest.empty() ? "" : "/") + part;
    if (rest.empty())
        return std::nullopt;
    return rest;
}

int openFolderBeneath(int base, const std::string& relative, bool create) {
    std::vector<std::string> parts;
    std::string joined;
    for (auto& part : pathParts(relative)) {
        if (part == "..") {
            errno = EINVAL;
            return -1;
        }
        if (part == ".")
            continue;
        joined += (joined.empty() ? "" : "/") + part;
        parts.push_back(std::move(part));
    }
    if (parts.empty())
        return ::openat(base, ".", kFolderFlags);
    if (!create) {
        const int fd = openat2Folder(base, joined);
        // Kernels before 5.6, or a sandbox that forbids the call: walk.
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM && errno != EAGAIN))
            return fd;
    }
    int fd = ::openat(base, ".", kFolderFlags);
    for (const auto& part : parts) {
        if (fd < 0)
            return -1;
        int next = ::openat(fd, part.c_str(), kFolderFlags);
        // O_DIRECTORY reports a link as ENOTDIR; tell it apart from a file.
        struct stat st {};
        if (next < 0 && errno == ENOTDIR &&
            ::fstatat(fd, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            errno = ELOOP;
        if (next < 0 && errno == ENOENT && create) {
            if (::mkdirat(fd, part.c_str(), 0755) != 0 && errno != EEXIST) {
                closeKeepingErrno(fd);
                return -1;
            }
            next = ::openat(fd, part.c_str(), kFolderFlags);
        }
        closeKeepingErrno(fd);
        fd = next;
    }
    return fd;
}

int openParentBeneath(const std::string& root, const std::string& path, bool create,
                      std::string& name) {
    const auto relative = relativeBelow(root, path);
    if (!relative) {
        errno = EXDEV;
        return -1;
    }
    const auto cut = relative->rfind('/');
    name = cut == std::string::npos ? *relative : relative->substr(cut + 1);
    const int rootFd =
        ::open(withoutTrailingSeparators(root).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0)
        return -1;
    const int fd = openFolderBeneath(
        rootFd, cut == std::string::npos ? std::string() : relative->substr(0, cut), create);
    closeKeepingErrno(rootFd);
    return fd;
}

int createFileBeneath(const std::string& root, const std::string& path) {
    std::string name;
    int folder = -1;
    if (relativeBelow(root, path)) {
        folder = openParentBeneath(root, path, false, name);
    } else {
        const auto cut = path.find_last_of('/');
        const std::string dir = cut == std::string::npos ? "." : path.substr(0, cut + 1);
        name = cut == std::string::npos ? path : path.substr(cut + 1);
        folder = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    if (folder < 0)
        return -1;
    if (name.empty() || name == "." || name == "..") {
        ::close(folder);
        errno = EINVAL;
        return -1;
    }
    // O_NONBLOCK: a fifo in the file's place must not hold the open.
    const int fd =
        ::openat(folder, name.c_str(),
                 O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
    closeKeepingErrno(folder);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

void removeFileBeneath(const std::string& root, const std::string& path) {
    std::string name;
    const int folder = openParentBeneath(root, path, false, name);
    if (folder < 0)
        return;
    ::unlinkat(folder, name.c_str(), 0);
    ::close(folder);
}

bool passesThroughLink(const std::string& root, const std::string& relativeFolder) {
    const int rootFd =
        ::open(withoutTrailingSeparators(root).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0)
        return false;
    const int fd = openFolderBeneath(rootFd, relativeFolder, false);
    const bool link = fd < 0 && (errno == ELOOP || errno == EXDEV);
    if (fd >= 0)
        ::close(fd);
    ::close(rootFd);
    return link;
}

std::string folderPart(const std::string& relative) {
    auto parts = pathParts(relative);
    if (!parts.empty())
        parts.pop_back();
    std::string folder;
    for (const auto& part : parts)
        folder += (folder.empty() ? "" : "/") + part;
    return folder;
}

} // namespace vela
