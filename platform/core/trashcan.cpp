#include "trashcan.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kamelo {

namespace {

bool isDirectory(const std::string& p, bool allowLink = false) {
    struct stat st {};
    const int rc = allowLink ? ::stat(p.c_str(), &st) : ::lstat(p.c_str(), &st);
    return rc == 0 && S_ISDIR(st.st_mode);
}

bool makeDirs(const std::string& p, mode_t mode) {
    std::error_code ec;
    fs::create_directories(p, ec);
    if (ec)
        return false;
    ::chmod(p.c_str(), mode);
    return isDirectory(p, true);
}

dev_t deviceOf(const std::string& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 ? st.st_dev : dev_t(-1);
}

// The mount point above path: the last folder on the way up with its device.
std::string topDirectory(const std::string& path) {
    fs::path p = fs::path(path).parent_path();
    const dev_t dev = deviceOf(p.string());
    while (p.has_parent_path() && p != p.root_path()) {
        const fs::path up = p.parent_path();
        if (deviceOf(up.string()) != dev)
            break;
        p = up;
    }
    return p.string();
}

// A trash folder on the volume of topdir, created when missing.
std::string volumeTrash(const std::string& topdir) {
    const std::string uid = std::to_string(::getuid());
    const std::string shared = topdir + "/.Trash";
    struct stat st {};
    // An administrator's shared trash: a real folder with the sticky bit.
    if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const std::string mine = shared + "/" + uid;
        if (makeDirs(mine, 0700))
            return mine;
    }
    const std::string own = topdir + (topdir == "/" ? "" : "/") + ".Trash-" + uid;
    return makeDirs(own, 0700) ? own : std::string();
}

std::string deletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm);
    return text;
}

// Creates info/NAME.trashinfo exclusively, changing NAME until it is free.
int createInfo(const std::string& trash, const std::string& base, std::string& name,
               std::string& infoPath) {
    const fs::path b(base);
    const std::string stem = b.stem().string(), ext = b.extension().string();
    for (int n = 1; n < 10000; ++n) {
        name = n == 1 ? base : stem + "." + std::to_string(n) + ext;
        infoPath = trash + "/info/" + name + ".trashinfo";
        const int fd = ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno != EEXIST)
                return -1;
            continue;
        }
        // A file left in files/ without its info must not be replaced.
        if (::access((trash + "/files/" + name).c_str(), F_OK) != 0)
            return fd;
        ::close(fd);
        ::unlink(infoPath.c_str());
    }
    errno = EEXIST;
    return -1;
}

} // namespace

std::string TrashCan::homeTrash() {
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string base = data && *data ? data : "";
    if (base.empty()) {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : "") + "/.local/share";
    }
    return base + "/Trash";
}

std::string TrashCan::encodePath(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

TrashCan::Result TrashCan::trash(const std::string& given) {
    Result r;
    const std::string path = fs::absolute(fs::path(given)).lexically_normal().string();
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0) {
        r.error = errno ? errno : ENOENT;
        return r;
    }
    const std::string base = fs::path(path).filename().string();
    if (base.empty() || path == "/") {
        r.error = EINVAL;
        return r;
    }

    // The home trash when it lies on the same volume, else the volume's own.
    std::string trash = homeTrash();
    std::string shown = path;
    const bool homeUsable = makeDirs(trash, 0700) && deviceOf(trash) == st.st_dev;
    if (!homeUsable) {
        const std::string top = topDirectory(path);
        trash = volumeTrash(top);
        if (trash.empty()) {
            r.error = EXDEV;
            return r;
        }
        // Paths in a volume trash are relative to the volume's top folder.
        shown = fs::path(path).lexically_relative(top).string();
    }
    if (!makeDirs(trash + "/files", 0700) || !makeDirs(trash + "/info", 0700)) {
        r.error = errno ? errno : EACCES;
        return r;
    }

    std::string name, infoPath;
    const int fd = createInfo(trash, base, name, infoPath);
    if (fd < 0) {
        r.error = errno;
        return r;
    }
    const std::string info =
        "[Trash Info]\nPath=" + encodePath(shown) + "\nDeletionDate=" + deletionDate() + "\n";
    const bool written = ::write(fd, info.data(), info.size()) == ssize_t(info.size());
    ::close(fd);
    const std::string target = trash + "/files/" + name;
    if (!written || ::rename(path.c_str(), target.c_str()) != 0) {
        r.error = written ? errno : EIO;
        ::unlink(infoPath.c_str());
        return r;
    }
    r.ok = true;
    r.trashedAs = target;
    r.infoFile = infoPath;
    return r;
}

} // namespace kamelo
