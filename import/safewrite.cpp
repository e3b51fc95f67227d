#include "safewrite.h"

#include "import/core/acquireformats.h"
#include "platform/core/fileops.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kamelo::acquire {

namespace {
std::atomic<uint64_t> tempCounter{0};
constexpr size_t kReadBackChunk = 1 << 20;
} // namespace

int SafeWrite::createTemp(const std::string& target, std::string& tempPath, int& fd) {
    const size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : target.substr(0, slash);
    const std::string name = fileName(target);
    const uint64_t seed = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                          uint64_t(::getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const uint64_t n = seed + tempCounter.fetch_add(1) * 0x9E3779B97F4A7C15ull;
        // Short enough for a FAT name of 255 characters when the target's is.
        const std::string candidate =
            folder + "/." + name.substr(0, 200) + ".kamelo-" + std::to_string(n % 1000000007ull);
        fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) {
            tempPath = candidate;
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

int SafeWrite::writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENOSPC;
        data += n;
        size -= size_t(n);
    }
    return 0;
}

int SafeWrite::place(const std::string& temp, const std::string& target, bool replace) {
    if (replace)
        return ::rename(temp.c_str(), target.c_str()) == 0 ? 0 : errno;
    return FileOps::rename(temp, target).code;
}

int SafeWrite::readBack(const std::string& path, ContentSum& sum) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return errno;
    std::vector<uint8_t> buffer(kReadBackChunk);
    int rc = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            rc = errno;
            break;
        }
        if (n == 0)
            break;
        sum.add(buffer.data(), size_t(n));
    }
    ::close(fd);
    return rc;
}

int SafeWrite::syncFileSystem(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    // One flush for the whole run instead of one per file; it reports a
    // write that failed on the way to the disk as well.
    const int rc = ::syncfs(fd) == 0 ? 0 : errno;
    ::close(fd);
    return rc;
}

int SafeWrite::makeFolders(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec)
        return ec.value();
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

bool SafeWrite::exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace kamelo::acquire
