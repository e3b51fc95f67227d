#pragma once

#include "import/core/contentsum.h"

#include <cstdint>
#include <string>

namespace kamelo::acquire {

// Writing a file so that no half-written file is ever seen under its name:
// the bytes go to a hidden temporary file beside the target, which is
// renamed into place only when complete and checked. Every call returns 0
// or an errno.
class SafeWrite {
public:
    // Creates the temporary file for target (mode 0666 less the umask).
    static int createTemp(const std::string& target, std::string& tempPath, int& fd);
    static int writeAll(int fd, const uint8_t* data, size_t size);
    // Renames temp to target; without replace, an existing target is left
    // alone and EEXIST returned.
    static int place(const std::string& temp, const std::string& target, bool replace);
    // The checksum and size of a file as the file system gives it back.
    static int readBack(const std::string& path, ContentSum& sum);
    // Makes everything written to the folder's file system durable: the
    // files of a run and their names, in one flush at its end.
    static int syncFileSystem(const std::string& folder);
    // Makes a folder and its missing parents; an existing folder is fine.
    static int makeFolders(const std::string& path);
    // Whether anything (a file, folder or dangling link) has that name.
    static bool exists(const std::string& path);
};

} // namespace kamelo::acquire
