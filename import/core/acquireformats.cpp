#include "acquireformats.h"

#include <algorithm>
#include <array>

namespace kamelo::acquire {

namespace {

// Phones' HEIC and the cameras' RAW files come after the older types.
constexpr std::array<std::string_view, 55> kAccepted = {
    "jpg", "bmp", "jpeg", "tiff", "tif",  "tga", "png",  "wmf",  "pcx", "pcd", "emf",
    "ico", "cur", "dcx",  "gif",  "pct",  "iff", "psd",  "ras",  "sgi", "mov", "avi",
    "mpg", "asf", "mpeg", "heic", "heif", "hif", "avif", "webp", "jxl", "dng", "cr2",
    "cr3", "crw", "nef",  "nrw",  "arw",  "srf", "sr2",  "orf",  "rw2", "raf", "pef",
    "srw", "3fr", "erf",  "kdc",  "mrw",  "x3f", "iiq",  "rwl",  "mos", "mef", "dcr"};
constexpr std::array<std::string_view, 5> kMovies = {"mov", "avi", "mpg", "asf", "mpeg"};

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

template <size_t N>
bool listed(const std::array<std::string_view, N>& list, std::string_view extension) {
    if (!extension.empty() && extension.front() == '.')
        extension.remove_prefix(1);
    const std::string e = lower(extension);
    return std::find(list.begin(), list.end(), e) != list.end();
}

size_t dotOf(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string::npos : dot;
}

} // namespace

bool isAcceptedExtension(std::string_view extension) {
    return listed(kAccepted, extension);
}

bool isAcceptedPath(const std::string& path) {
    const std::string e = fileExtension(path);
    return !e.empty() && isAcceptedExtension(e);
}

bool isMoviePath(const std::string& path) {
    const std::string e = fileExtension(path);
    return !e.empty() && listed(kMovies, e);
}

std::string fileName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string fileTitle(const std::string& path) {
    const std::string name = fileName(path);
    const size_t dot = dotOf(name);
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string fileExtension(const std::string& path) {
    const std::string name = fileName(path);
    const size_t dot = dotOf(name);
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

} // namespace kamelo::acquire
