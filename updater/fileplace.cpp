#include "updater/fileplace.h"

#include "updater/beneath.h"
#include "updater/paths.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vela {

namespace {

// Copies an open regular file into an open one; the target gets `mode`
// and is synced.
bool copyFd(int in, int out, mode_t mode) {
    char buffer[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ok = false;
        if (n <= 0)
            break;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok)
            break;
    }
    return ::fchmod(out, mode) == 0 && ::fsync(out) == 0 && ok;
}

int openRegular(int folder, const std::string& name) {
    int fd = ::openat(folder, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool copyBytes(const std::string& source, const std::string& target, mode_t mode) {
    int in = openRegular(AT_FDCWD, source);
    if (in < 0)
        return false;
    int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = copyFd(in, out, mode);
    ok = ::close(out) == 0 && ok;
    ::close(in);
    return ok;
}

bool looksExecutable(int folder, const std::string& name) {
    int fd = openRegular(folder, name);
    if (fd < 0)
        return false;
    char head[4] = {};
    const ssize_t n = ::read(fd, head, sizeof head);
    ::close(fd);
    return (n >= 4 && std::memcmp(head,
                                  "\x7f"
                                  "ELF",
                                  4) == 0) ||
           (n >= 2 && head[0] == '#' && head[1] == '!');
}

// An open descriptor closed when it goes.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

bool heldAt(int folder, const std::string& name) {
    int fd = ::openat(folder, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    if (held)
        return true;
    int w = ::openat(folder, name.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (w >= 0) {
        ::close(w);
        return false;
    }
    return errno == ETXTBSY;
}

// Deep enough for any real tree; a deeper one is left, never followed.
constexpr int kMaxClearDepth = 256;

// Empties the open folder `dir` (whose path is `path`): files and links are
// deleted as themselves, sub-folders are opened without following links,
// emptied the same way and removed when their path holds "__TEMP__".
void clearAt(int dir, const std::string& path, int depth) {
    const int listing = ::dup(dir);
    DIR* d = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!d) {
        if (listing >= 0)
            ::close(listing);
        return;
    }
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    }
    ::closedir(d);
    for (const auto& name : names) {
        struct stat st {};
        if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (!S_ISDIR(st.st_mode)) {
            ::unlinkat(dir, name.c_str(), 0);
            continue;
        }
        const std::string sub = joinPath(path, name);
        if (depth < kMaxClearDepth) {
            Fd child(::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (child.fd >= 0)
                clearAt(child.fd, sub, depth + 1);
        }
        if (sub.find("__TEMP__") != std::string::npos)
            ::unlinkat(dir, name.c_str(), AT_REMOVEDIR);
    }
}

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::set<std::string> runningPrograms() {
    std::set<std::string> programs;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return programs;
    while (dirent* e = ::readdir(proc)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9')
            continue;
        char target[4096];
        const std::string link = std::string("/proc/") + e->d_name + "/exe";
        ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0)
            programs.insert(std::string(target, static_cast<size_t>(n)));
    }
    ::closedir(proc);
    return programs;
}

} // namespace

bool isFileHeld(const std::string& path) {
    return heldAt(AT_FDCWD, path);
}

bool placeFile(const std::string& root, const std::string& source, const std::string& target) {
    std::string sourceName, targetName;
    Fd sourceDir(openParentBeneath(root, source, false, sourceName));
    Fd targetDir(openParentBeneath(root, target, false, targetName));
    if (sourceDir.fd < 0 || targetDir.fd < 0)
        return false;
    struct stat src {};
    if (::fstatat(sourceDir.fd, sourceName.c_str(), &src, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(src.st_mode))
        return false;
    struct stat old {};
    const bool hadTarget =
        ::fstatat(targetDir.fd, targetName.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (hadTarget && S_ISDIR(old.st_mode))
        return false;
    if (hadTarget && heldAt(targetDir.fd, targetName))
        return false;
    const mode_t mode = hadTarget && S_ISREG(old.st_mode)           ? (old.st_mode & 07777)
                        : looksExecutable(sourceDir.fd, sourceName) ? 0755
                                                                    : 0644;
    ::fchmodat(sourceDir.fd, sourceName.c_str(), mode, 0);
    if (::renameat(sourceDir.fd, sourceName.c_str(), targetDir.fd, targetName.c_str()) == 0)
        return true;
    if (errno != EXDEV)
        return false;
    const std::string beside = targetName + ".part~";
    Fd in(openRegular(sourceDir.fd, sourceName));
    Fd out(::openat(targetDir.fd, beside.c_str(),
                    O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode));
    bool ok = in.fd >= 0 && out.fd >= 0 && copyFd(in.fd, out.fd, mode);
    ok = ok && ::renameat(targetDir.fd, beside.c_str(), targetDir.fd, targetName.c_str()) == 0;
    if (!ok) {
        ::unlinkat(targetDir.fd, beside.c_str(), 0);
        return false;
    }
    ::unlinkat(sourceDir.fd, sourceName.c_str(), 0);
    return true;
}

void clearTempFolder(const std::string& folder) {
    // No trailing "/": it would make the open follow a link in the
    // folder's place.
    Fd dir(::open(withoutTrailingSlash(folder).c_str(),
                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dir.fd >= 0)
        clearAt(dir.fd, folder, 0);
}

bool makeTempFolder(const std::string& installFolder) {
    Fd install(
        ::open(withoutTrailingSlash(installFolder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (install.fd < 0)
        return false;
    struct stat st {};
    if (::fstatat(install.fd, kTempFolderName, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(st.st_mode)) {
            Fd temp(::openat(install.fd, kTempFolderName,
                             O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (temp.fd >= 0)
                clearAt(temp.fd, tempFolder(installFolder), 0);
        } else if (::unlinkat(install.fd, kTempFolderName, 0) != 0) {
            return false;
        }
    }
    if (::mkdirat(install.fd, kTempFolderName, 0755) != 0 && errno != EEXIST)
        return false;
    return ::fstatat(install.fd, kTempFolderName, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(st.st_mode);
}

void removeTempFolder(const std::string& installFolder) {
    Fd install(
        ::open(withoutTrailingSlash(installFolder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (install.fd < 0)
        return;
    struct stat st {};
    if (::fstatat(install.fd, kTempFolderName, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    if (!S_ISDIR(st.st_mode)) {
        ::unlinkat(install.fd, kTempFolderName, 0);
        return;
    }
    Fd temp(::openat(install.fd, kTempFolderName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (temp.fd >= 0)
        clearAt(temp.fd, tempFolder(installFolder), 0);
    ::unlinkat(install.fd, kTempFolderName, AT_REMOVEDIR);
}

void deleteTildeFiles(const std::string& folder, const std::string& keep) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(dir))
        if (e->d_name[0] == '~')
            names.emplace_back(e->d_name);
    ::closedir(dir);
    if (names.empty())
        return;
    const auto inUse = runningPrograms();
    for (const auto& name : names) {
        const std::string path = joinPath(folder, name);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
            continue;
        char real[4096];
        const std::string resolved = ::realpath(path.c_str(), real) ? std::string(real) : path;
        if (path == keep || resolved == keep || inUse.count(resolved))
            continue;
        ::unlink(path.c_str());
    }
}

std::string makeTildeTempName(const std::string& folder) {
    std::string pattern = joinPath(folder, "~temp.XXXXXX");
    int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return {};
    ::close(fd);
    return pattern;
}

bool copyProgram(const std::string& source, const std::string& target) {
    return copyBytes(source, target, 0755);
}

} // namespace vela
