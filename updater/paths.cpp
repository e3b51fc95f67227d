#include "updater/paths.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vela {

namespace {

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

std::string withSeparator(std::string folder) {
    if (folder.empty() || !isSeparator(folder.back()))
        folder += '/';
    return folder;
}

} // namespace

std::string installFolder() {
    std::string buffer(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return "./";
    buffer.resize(static_cast<size_t>(n));
    auto slash = buffer.rfind('/');
    return slash == std::string::npos ? std::string("./") : buffer.substr(0, slash + 1);
}

std::string tempFolder(const std::string& installFolder) {
    return withSeparator(installFolder) + "__TEMP__/";
}

std::string joinPath(const std::string& base, const std::string& tail) {
    std::string rest = tail;
    if (rest.size() == 1 && isSeparator(rest[0]))
        rest.clear();
    if (!rest.empty() && isSeparator(rest[0]))
        rest.erase(0, 1);
    for (char& c : rest)
        if (c == '\\')
            c = '/';
    return withSeparator(base) + rest;
}

std::string fileNamePart(const std::string& path) {
    auto cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::vector<std::string> pathParts(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (isSeparator(c)) {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

bool isContainedRelativePath(const std::string& path) {
    if (!path.empty() && isSeparator(path[0]))
        return false;
    if (path.find(':') != std::string::npos)
        return false;
    for (const auto& part : pathParts(path))
        if (part == "..")
            return false;
    return true;
}

int64_t fileSize(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    int64_t size = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        size = st.st_size;
    ::close(fd);
    return size;
}

std::string systemFolder() {
    return "/usr/bin";
}

std::string replaceSystemMarker(const std::string& text) {
    static const std::string marker = "<<system>>";
    std::string out;
    size_t from = 0;
    for (;;) {
        size_t at = text.find(marker, from);
        if (at == std::string::npos)
            break;
        out.append(text, from, at - from);
        out += systemFolder();
        from = at + marker.size();
    }
    out.append(text, from, std::string::npos);
    return out;
}

bool equalsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace vela
