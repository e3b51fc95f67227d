#pragma once

#include <string>

namespace kamelo::update {

// Whether a package manager owns the program's files: then it, not the
// updater, replaces them, and the updater must not try.
class PackageOwnership {
public:
    static constexpr const char* kDpkgInfo = "/var/lib/dpkg/info";

    // True when the program folder cannot be written, or when dpkg's file
    // list of the kamelo package (kamelo.list, or kamelo:<arch>.list in
    // dpkgInfo) names the program, as given or with its links resolved.
    // Reads one small file at most, so it is cheap enough for every check.
    static bool managed(const std::string& programPath, const std::string& programFolder,
                        const std::string& dpkgInfo = kDpkgInfo);

    // Whether a dpkg file list (its bytes) names the path on a line of its own.
    static bool listNames(const std::string& list, const std::string& path);
};

} // namespace kamelo::update
