#pragma once

#include <string>

namespace kamelo::edit {

// Where a batch run writes: over the source files, or into another folder.
enum class DestinationMode : int { Overwrite = 0, Folder = 1 };

class BatchDestination {
public:
    // Overwrite: the source itself. Folder: folder + "/" + the source's name
    // (its extension as the source writes it).
    static std::string forSource(const std::string& source, DestinationMode mode,
                                 const std::string& folder);
    // A conversion's output: beside the source, the title with the format
    // name ("JPG") as extension; the source itself when its extension is that
    // name in any case, so a.jpg converted to JPG rewrites a.jpg rather than
    // creating a second file a.JPG beside it.
    static std::string forConversion(const std::string& source, const std::string& formatName);

    // Creates folder and every missing folder above it, one level at a time.
    // Returns 0, or the errno of the level that could not be made (ENOTDIR
    // when a file stands in the way).
    static int ensureFolder(const std::string& folder);
};

} // namespace kamelo::edit
