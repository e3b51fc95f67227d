#include "filebytes.h"
#include "pagefault.h"

#include "imaging/result.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace kamelo::imaging {

namespace {

// Files beyond 1 GiB are not pictures this program can hold.
constexpr int64_t kMaxFileBytes = int64_t(1) << 30;

int readInto(int fd, size_t want, std::vector<uint8_t>& out) {
    reserveFaulted(out, want);
    out.resize(want);
    size_t got = 0;
    while (got < want) {
        ssize_t n = ::read(fd, out.data() + got, want - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return result::kFileRead;
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    out.resize(got);
    return result::kSuccess;
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "폴더입니다";
    if (S_ISFIFO(mode))
        return "FIFO(파이프)입니다";
    if (S_ISSOCK(mode))
        return "소켓입니다";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "장치 파일입니다";
    return "일반 파일이 아닙니다";
}

void say(std::string* reason, std::string text) {
    if (reason)
        *reason = std::move(text);
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a chain of symbolic links ends at (the path itself when it is no
// link); a dangling link gives the name it would create. Empty on a loop.
std::string finalTarget(const std::string& path) {
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return target;
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<size_t>(n) >= link.size())
            return {};
        link.resize(static_cast<size_t>(n));
        target = link.front() == '/' ? link : folderOf(target) + "/" + link;
    }
    return {};
}

// The process's umask. Setting and restoring it would leave a window in
// which other threads create files without it, so it is read from the
// kernel's status file where possible.
mode_t currentUmask() {
    if (std::FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            unsigned mask = 0;
            if (std::sscanf(line, "Umask: %o", &mask) == 1) {
                std::fclose(f);
                return static_cast<mode_t>(mask & 0777);
            }
        }
        std::fclose(f);
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

void reserveFaulted(std::vector<uint8_t>& v, size_t bytes) {
    constexpr size_t kLarge = size_t(1) << 20;
    if (v.capacity() >= bytes)
        return;
    v.reserve(bytes);
    // The new room only: what v holds is already in memory.
    if (bytes >= kLarge)
        faultIn(v.data() + v.size(), v.capacity() - v.size());
}

int openRegularFile(const std::string& path, int& fd, std::string* reason) {
    fd = -1;
    // Looked at before opening: opening some devices does something.
    struct stat named {};
    if (::stat(path.c_str(), &named) == 0 && !S_ISREG(named.st_mode)) {
        say(reason, std::string("그림 파일이 아니라 ") + kindOf(named.st_mode) + ": " + path);
        return result::kFileRead;
    }
    // Non-blocking, so that opening a FIFO does not wait for a writer (the
    // name may have changed since the look above); the flag is cleared again
    // once the descriptor is known to be a regular file.
    const int f = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (f < 0) {
        const int e = errno;
        if (e == ENOENT || e == ENOTDIR) {
            say(reason, "파일이 없습니다: " + path);
            return result::kFileNotFound;
        }
        say(reason, "파일을 열 수 없습니다: " + path);
        return result::kFileRead;
    }
    struct stat st {};
    if (::fstat(f, &st) != 0) {
        ::close(f);
        say(reason, "파일을 읽을 수 없습니다: " + path);
        return result::kFileRead;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(f);
        say(reason, std::string("그림 파일이 아니라 ") + kindOf(st.st_mode) + ": " + path);
        return result::kFileRead;
    }
    const int flags = ::fcntl(f, F_GETFL);
    if (flags < 0 || ::fcntl(f, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(f);
        say(reason, "파일을 읽을 수 없습니다: " + path);
        return result::kFileRead;
    }
    fd = f;
    return result::kSuccess;
}

std::FILE* openRegularStream(const std::string& path, int* code, std::string* reason) {
    int fd = -1;
    const int rc = openRegularFile(path, fd, reason);
    if (code)
        *code = rc;
    if (rc < 1)
        return nullptr;
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) {
        ::close(fd);
        if (code)
            *code = result::kFileRead;
        say(reason, "파일을 읽을 수 없습니다: " + path);
    }
    return f;
}

int readWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    out.clear();
    int fd = -1;
    if (const int rc = openRegularFile(path, fd); rc < 1)
        return rc;
    struct stat st {};
    int rc = result::kFileRead;
    if (::fstat(fd, &st) == 0) {
        if (st.st_size > kMaxFileBytes)
            rc = result::kTooLarge;
        else
            rc = readInto(fd, static_cast<size_t>(st.st_size), out);
    }
    ::close(fd);
    return rc;
}

int readFileHead(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out) {
    out.clear();
    int fd = -1;
    if (const int rc = openRegularFile(path, fd); rc < 1)
        return rc;
    struct stat st {};
    int rc = result::kFileRead;
    if (::fstat(fd, &st) == 0)
        rc = readInto(fd, std::min<size_t>(maxBytes, static_cast<size_t>(st.st_size)), out);
    ::close(fd);
    return rc;
}

namespace {
thread_local int lastWriteErrno = 0;

void noteWriteError(int error) {
    lastWriteErrno = error != 0 ? error : EIO;
}
} // namespace

int lastWriteError() {
    return lastWriteErrno;
}

AtomicFile::AtomicFile(const std::string& path) : path_(finalTarget(path)) {
    lastWriteErrno = 0;
    if (path_.empty()) {
        noteWriteError(ELOOP); // a loop of links: nothing is written
        return;
    }
    tmp_ = folderOf(path_) + "/.kamelo-save-XXXXXX";
    fd_ = ::mkstemp(tmp_.data());
    ok_ = fd_ >= 0;
    if (!ok_)
        noteWriteError(errno);
}

AtomicFile::~AtomicFile() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(tmp_.c_str());
    }
}

bool AtomicFile::write(const uint8_t* data, size_t size) {
    size_t done = 0;
    while (ok_ && done < size) {
        const ssize_t n = ::write(fd_, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok_ = false;
            noteWriteError(n < 0 ? errno : ENOSPC);
        } else {
            done += static_cast<size_t>(n);
        }
    }
    return ok_;
}

int AtomicFile::commit() {
    if (fd_ < 0) {
        if (lastWriteErrno == 0)
            noteWriteError(EBADF);
        return result::kFileWrite;
    }
    // The data must be on disk before the rename makes it the file.
    bool ok = ok_;
    if (ok && ::fsync(fd_) != 0) {
        ok = false;
        noteWriteError(errno);
    }
    struct stat old {};
    if (::stat(path_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        // The replacement keeps who may read it: a private file stays
        // private. The owner passes only where the user may set it (root, or
        // a group the user is in); otherwise the new file is the user's own.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            if (::fchown(fd_, old.st_uid, old.st_gid) != 0)
                (void)::fchown(fd_, static_cast<uid_t>(-1), old.st_gid);
        }
        // Set after fchown, which clears set-id bits; only the permission
        // bits pass, a picture has no use for set-id.
        ok = ::fchmod(fd_, old.st_mode & 0777) == 0 && ok;
    } else {
        // mkstemp creates 0600; a new file gets the usual permissions.
        ok = ::fchmod(fd_, 0666 & ~currentUmask()) == 0 && ok;
    }
    if (::close(fd_) != 0 && ok) {
        ok = false;
        noteWriteError(errno);
    }
    fd_ = -1;
    if (ok && ::rename(tmp_.c_str(), path_.c_str()) == 0)
        return result::kSuccess;
    if (lastWriteErrno == 0)
        noteWriteError(errno);
    ::unlink(tmp_.c_str());
    return result::kFileWrite;
}

int writeFileAtomically(const std::string& path, const uint8_t* data, size_t size) {
    AtomicFile file(path);
    file.write(data, size);
    return file.commit();
}

} // namespace kamelo::imaging
