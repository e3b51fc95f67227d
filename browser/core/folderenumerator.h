#pragma once

#include "thumbdata.h"

#include <string>
#include <vector>

namespace kamelo {

struct EnumerateOptions {
    bool withParent = true;   // the ".." entry first (not for the cache check)
    bool onlyPictures = true; // "Only Pictures": other files are left out
    bool details = false;     // sizes and modification times are read
    int cellWidth = 120;      // for the icon rectangle of folders and placeholders
    int cellHeight = 100;
};

struct EnumerateResult {
    std::vector<CThumbData> records;
    int pictures = 0;
    int folders = 0; // the parent entry included
    int others = 0;
};

// Lists a folder as the thumbnail list shows it: the parent entry, then the
// sub-folders, then the files (pictures always, other files when asked), in
// the file system's order. Hidden entries (names starting with a dot) are
// left out as a file manager does.
class FolderEnumerator {
public:
    // False when the folder cannot be read.
    static bool enumerate(const std::string& folder, const EnumerateOptions& options,
                          EnumerateResult& result);
    // "JPEG" for jpg, "TIFF" for tif, else the extension in upper case.
    static std::string typeName(const std::string& extension);
    // The folder the parent entry of this folder leads to; empty at the root.
    static std::string parentOf(const std::string& folder);
};

} // namespace kamelo
