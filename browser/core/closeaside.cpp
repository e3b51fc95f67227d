#include "closeaside.h"

#include <cstdio>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace kamelo {

void closeAside(int fd) {
    if (fd < 0)
        return;
    try {
        std::thread([fd] { ::close(fd); }).detach();
    } catch (...) {
        ::close(fd); // no thread to spare: here, then
    }
}

void removeAside(const std::string& path) {
    // Not following a link, never waiting on a FIFO: only a plain file's
    // blocks are worth keeping hold of.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    std::remove(path.c_str());
    closeAside(fd);
}

} // namespace kamelo
