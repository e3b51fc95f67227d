#include "updater/crc32file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace vela {

std::optional<uint32_t> fileCrc32(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    uLong crc = ::crc32(0L, Z_NULL, 0);
    unsigned char block[4096];
    for (;;) {
        ssize_t n = ::read(fd, block, sizeof block);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return std::nullopt;
        }
        crc = ::crc32(crc, block, static_cast<uInt>(n));
    }
    ::close(fd);
    return static_cast<uint32_t>(crc);
}

} // namespace vela
