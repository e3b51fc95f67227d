#include "filebytes.h"

#include "imaging/result.h"

#include <cerrno>
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

} // namespace

int readWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    out.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? result::kFileNotFound : result::kFileRead;
    struct stat st {};
    int rc = result::kFileRead;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
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
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? result::kFileNotFound : result::kFileRead;
    struct stat st {};
    int rc = result::kFileRead;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        rc = readInto(fd, maxBytes, out);
    ::close(fd);
    return rc;
}

AtomicFile::AtomicFile(const std::string& path) : path_(path) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    tmp_ = folder + "/.kamelo-save-XXXXXX";
    fd_ = ::mkstemp(tmp_.data());
    ok_ = fd_ >= 0;
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
        if (n <= 0)
            ok_ = false;
        else
            done += static_cast<size_t>(n);
    }
    return ok_;
}

int AtomicFile::commit() {
    if (fd_ < 0)
        return result::kFileWrite;
    // The data must be on disk before the rename makes it the file.
    bool ok = ok_ && ::fsync(fd_) == 0;
    // mkstemp creates 0600; give the new file the usual permissions.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ok = ::fchmod(fd_, 0666 & ~mask) == 0 && ok;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    if (ok && ::rename(tmp_.c_str(), path_.c_str()) == 0)
        return result::kSuccess;
    ::unlink(tmp_.c_str());
    return result::kFileWrite;
}

int writeFileAtomically(const std::string& path, const uint8_t* data, size_t size) {
    AtomicFile file(path);
    file.write(data, size);
    return file.commit();
}

} // namespace kamelo::imaging
