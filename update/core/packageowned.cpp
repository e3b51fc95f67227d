#include "packageowned.h"

#include <cstdio>
#include <dirent.h>
#include <filesystem>
#include <memory>
#include <unistd.h>
#include <vector>

namespace kamelo::update {

namespace {

// A package of a few dozen files lists a few kilobytes; anything past this
// is not kamelo's list.
constexpr size_t kMaxListBytes = 1 << 20;

bool readBounded(const std::string& path, std::string& out) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rbe"), &std::fclose);
    if (!f)
        return false;
    out.resize(kMaxListBytes);
    const size_t n = std::fread(out.data(), 1, out.size(), f.get());
    out.resize(n);
    return true;
}

// kamelo.list and the multi-arch kamelo:<arch>.list names in the folder.
std::vector<std::string> listFiles(const std::string& dpkgInfo) {
    std::vector<std::string> out{dpkgInfo + "/kamelo.list"};
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(dpkgInfo.c_str()), &::closedir);
    if (!dir)
        return out;
    // The folder holds one or a few files per installed package: bounded.
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string name = e->d_name;
        if (name.rfind("kamelo:", 0) == 0 && name.size() > 12 &&
            name.compare(name.size() - 5, 5, ".list") == 0)
            out.push_back(dpkgInfo + "/" + name);
    }
    return out;
}

} // namespace

bool PackageOwnership::listNames(const std::string& list, const std::string& path) {
    if (path.empty())
        return false;
    size_t at = 0;
    while (at < list.size()) {
        size_t nl = list.find('\n', at);
        if (nl == std::string::npos)
            nl = list.size();
        if (list.compare(at, nl - at, path) == 0)
            return true;
        at = nl + 1;
    }
    return false;
}

bool PackageOwnership::managed(const std::string& programPath, const std::string& programFolder,
                               const std::string& dpkgInfo) {
    if (::access(programFolder.c_str(), W_OK) != 0)
        return true;
    std::error_code ec;
    const std::string real = std::filesystem::canonical(programPath, ec).string();
    for (const std::string& file : listFiles(dpkgInfo)) {
        std::string list;
        if (readBounded(file, list) &&
            (listNames(list, programPath) || (!ec && listNames(list, real))))
            return true;
    }
    return false;
}

} // namespace kamelo::update
