#include "updater/fileplace.h"

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

bool copyBytes(const std::string& source, const std::string& target, mode_t mode) {
    int in = ::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return false;
    }
    int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode);
    if (out < 0) {
        ::close(in);
        return false;
    }
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
    ok = ::fchmod(out, mode) == 0 && ::fsync(out) == 0 && ok;
    ok = ::close(out) == 0 && ok;
    ::close(in);
    return ok;
}

bool looksExecutable(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char head[4] = {};
    const size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    return (n >= 4 && std::memcmp(head,
                                  "\x7f"
                                  "ELF",
                                  4) == 0) ||
           (n >= 2 && head[0] == '#' && head[1] == '!');
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
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    if (held)
        return true;
    int w = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (w >= 0) {
        ::close(w);
        return false;
    }
    return errno == ETXTBSY;
}

bool placeFile(const std::string& source, const std::string& target) {
    struct stat src {};
    if (::lstat(source.c_str(), &src) != 0 || !S_ISREG(src.st_mode))
        return false;
    struct stat old {};
    const bool hadTarget = ::lstat(target.c_str(), &old) == 0;
    if (hadTarget && S_ISDIR(old.st_mode))
        return false;
    if (hadTarget && isFileHeld(target))
        return false;
    const mode_t mode = hadTarget && S_ISREG(old.st_mode) ? (old.st_mode & 07777)
                        : looksExecutable(source)         ? 0755
                                                          : 0644;
    ::chmod(source.c_str(), mode);
    if (::rename(source.c_str(), target.c_str()) == 0)
        return true;
    if (errno != EXDEV)
        return false;
    const std::string beside = target + ".part~";
    if (!copyBytes(source, beside, mode) || ::rename(beside.c_str(), target.c_str()) != 0) {
        ::unlink(beside.c_str());
        return false;
    }
    ::unlink(source.c_str());
    return true;
}

void clearTempFolder(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    }
    ::closedir(dir);
    for (const auto& name : names) {
        const std::string path = joinPath(folder, name);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            clearTempFolder(path);
            if (path.find("__TEMP__") != std::string::npos)
                ::rmdir(path.c_str());
        } else {
            ::unlink(path.c_str());
        }
    }
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
