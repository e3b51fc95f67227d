#include "instanceregistry.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace kamelo::update {

std::string InstanceRegistry::defaultFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/')
        return std::string(runtime) + "/kamelo/instances";
    return "/tmp/kamelo-" + std::to_string(::getuid()) + "/instances";
}

InstanceRegistry::InstanceRegistry(std::string folder)
    : folder_(folder.empty() ? defaultFolder() : std::move(folder)) {}

bool InstanceRegistry::add(pid_t pid) const {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    ::chmod(folder_.c_str(), 0700);
    const std::string path = folder_ + "/" + std::to_string(pid);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

void InstanceRegistry::remove(pid_t pid) const {
    ::unlink((folder_ + "/" + std::to_string(pid)).c_str());
}

std::vector<pid_t> InstanceRegistry::entries() const {
    std::vector<pid_t> out;
    DIR* dir = ::opendir(folder_.c_str());
    if (!dir)
        return out;
    while (const dirent* e = ::readdir(dir)) {
        char* end = nullptr;
        const long v = std::strtol(e->d_name, &end, 10);
        if (end && *end == '\0' && v > 0 && v < (1L << 30))
            out.push_back(pid_t(v));
    }
    ::closedir(dir);
    return out;
}

std::string InstanceRegistry::executableOf(pid_t pid) {
    std::error_code ec;
    const std::filesystem::path exe =
        std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec);
    return ec ? std::string() : exe.string();
}

std::vector<pid_t> InstanceRegistry::endOthers(pid_t self, const std::string& program) const {
    std::vector<pid_t> ended;
    for (pid_t pid : entries()) {
        if (pid == self)
            continue;
        if (program.empty() || executableOf(pid) != program) {
            // Gone, or the number now belongs to another program.
            remove(pid);
            continue;
        }
        if (::kill(pid, SIGTERM) == 0)
            ended.push_back(pid);
        remove(pid);
    }
    return ended;
}

InstanceRegistration::InstanceRegistration() : pid_(::getpid()) {
    registry_.add(pid_);
}

InstanceRegistration::~InstanceRegistration() {
    registry_.remove(pid_);
}

} // namespace kamelo::update
