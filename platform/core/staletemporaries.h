#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace kamelo {

// The hidden files the program writes beside a target before renaming them
// into place (a save, a copy, an import, a rename journal being written).
// A process killed part-way leaves one behind; a later run that writes into
// the folder removes them. Only regular files under one of our own name
// patterns whose status last changed before this process started are
// removed: never a link, a folder or another program's file, and never a
// temporary file a running copy of the program is still writing.
class StaleTemporaries {
public:
    // ".kamelo-save-XXXXXX", ".kamelo-copy-XXXXXX", ".kamelo-rename-journal-XXXXXX"
    // (six letters or digits) and an import's ".NAME.kamelo-DIGITS".
    static bool isOurs(std::string_view name);

    // Removes the stale temporary files of folder whose status changed
    // before `before`; the number removed.
    static int sweep(const std::string& folder, const struct timespec& before);
    // The same against the process start, once per folder and process (a
    // file older than the start cannot be written later).
    static int sweepOnce(const std::string& folder);
    // sweepOnce() for the folder a file is about to be written into.
    static int sweepOnceBeside(const std::string& filePath);

    // When this process started, on the clock the file system stamps with.
    static struct timespec processStart();
};

} // namespace kamelo
