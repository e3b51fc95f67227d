#pragma once

#include "thumbdata.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace kamelo {

struct EnumerateOptions {
    bool withParent = true;   // the ".." entry first (not for the cache check)
    bool onlyPictures = true; // "Only Pictures": other files are left out
    bool details = false;     // sizes and modification times go into the records
    int cellWidth = 120;      // for the icon rectangle of folders and placeholders
    int cellHeight = 100;
    // Checked between entries: a listing nobody waits for any more ends
    // early (and fails).
    const std::atomic<bool>* stop = nullptr;
};

// What the one stat() of an item said, kept whatever the view shows: the
// list sorts by it.
struct FileStamp {
    int64_t size = 0; // 0 for folders
    int64_t modified = 0;
};

struct EnumerateResult {
    std::vector<CThumbData> records;
    std::vector<FileStamp> stamps; // one per record; the parent entry's is empty
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
    // False when the folder cannot be read or the listing was stopped.
    static bool enumerate(const std::string& folder, const EnumerateOptions& options,
                          EnumerateResult& result);
    // The folder's entries counted up to limit without looking at them (hidden
    // ones and the dot entries included); -1 when it cannot be read.
    static int countUpTo(const std::string& folder, int limit);
    // "JPEG" for jpg, "TIFF" for tif, else the extension in upper case.
    static std::string typeName(const std::string& extension);
    // The folder the parent entry of this folder leads to; empty at the root.
    static std::string parentOf(const std::string& folder);
};

} // namespace kamelo
