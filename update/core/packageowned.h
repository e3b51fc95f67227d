#pragma once

#include <string>

namespace kamelo::update {

// Whether a package manager owns the program's files: then it, not the
// updater, replaces them, and the updater must not try.
class PackageOwnership {
public:
    // Installed into the program folder by the package (never present in a
    // build tree or an unpacked copy).
    static constexpr const char* kMarker = "installed-by-package";

    // True when the program folder cannot be written, or when it holds the
    // package's marker as a regular file. Two system calls: cheap enough
    // for every check, and it never reads the package database itself.
    static bool managed(const std::string& programFolder);
};

} // namespace kamelo::update
