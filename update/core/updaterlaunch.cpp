#include "updaterlaunch.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kamelo::update {

namespace {

bool fail(std::string& error, const std::string& what, int code) {
    error = what + ": " + std::strerror(code);
    return false;
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

} // namespace

bool UpdaterLaunch::copyFile(const std::string& from, const std::string& to, std::string& error) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0)
        return fail(error, from, errno);
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int code = errno ? errno : EINVAL;
        ::close(in);
        return fail(error, from, S_ISREG(st.st_mode) ? code : EINVAL);
    }
    std::string tmp = to + ".XXXXXX";
    const int out = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (out < 0) {
        const int code = errno;
        ::close(in);
        return fail(error, to, code);
    }
    bool ok = true;
    int code = 0;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || (n > 0 && !writeAll(out, buf, size_t(n)))) {
            ok = false;
            code = errno;
            break;
        }
        if (n == 0)
            break;
    }
    if (ok && (::fchmod(out, st.st_mode & 07777) != 0 || ::fsync(out) != 0)) {
        ok = false;
        code = errno;
    }
    ::close(in);
    if (::close(out) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(tmp.c_str(), to.c_str()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        return fail(error, to, code ? code : EIO);
    }
    return true;
}

bool UpdaterLaunch::startDetached(const std::string& program,
                                  const std::vector<std::string>& arguments,
                                  const std::string& folder, std::string& error) {
    // Everything the children need is made before fork.
    std::vector<char*> argv;
    std::string arg0 = program;
    argv.push_back(arg0.data());
    std::vector<std::string> args = arguments;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return fail(error, program, errno);
    const pid_t child = ::fork();
    if (child < 0) {
        const int code = errno;
        ::close(report[0]);
        ::close(report[1]);
        return fail(error, program, code);
    }
    if (child == 0) {
        // The middle process leaves at once, so the updater is nobody's child.
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0) {
            if (grandchild < 0) {
                const int code = errno;
                (void)!::write(report[1], &code, sizeof code);
            }
            ::_exit(0);
        }
        int code = 0;
        if (::chdir(folder.c_str()) != 0)
            code = errno;
        else {
            ::execv(program.c_str(), argv.data());
            code = errno;
        }
        (void)!::write(report[1], &code, sizeof code);
        ::_exit(127);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int code = 0;
    ssize_t n;
    while ((n = ::read(report[0], &code, sizeof code)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    // Nothing read: the pipe closed on a successful exec.
    if (n == ssize_t(sizeof code) && code != 0)
        return fail(error, program, code);
    return true;
}

} // namespace kamelo::update
