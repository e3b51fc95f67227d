#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kamelo {

// Copying, moving, renaming and deleting files and folders without ever
// losing one: a copy is written beside its target and renamed into place
// when complete, and a move deletes its source only after the copy is
// complete (or is a rename on one volume). Every failure names the file and
// the errno.
class FileOps {
public:
    struct Error {
        int code = 0; // errno; 0 when none
        std::string path;
        explicit operator bool() const { return code != 0; }
    };
    enum class Clash { Overwrite, Skip, Cancel };
    struct Callbacks {
        // Bytes done and total; false cancels after the current file.
        std::function<bool(uint64_t done, uint64_t total)> progress;
        // A file of that name exists at the target.
        std::function<Clash(const std::string& target)> clash;
    };
    struct Outcome {
        bool cancelled = false;
        Error error;
        std::vector<std::string> done; // targets written (or moved to)
        // Sources that are neither files, folders nor links (FIFOs, sockets,
        // devices): never opened for reading, left where they are.
        std::vector<std::string> specialFiles;
    };

    // Copies (or moves) every source into folder. Source and target are
    // compared as files (device and inode), not by name, at every level: a
    // file copied onto itself, under any path, makes a copy named
    // "NAME - 복사본.EXT"; a move onto itself changes nothing; a folder is
    // never copied into itself. A move keeps a source folder when anything
    // in it stayed behind.
    static Outcome copyInto(const std::vector<std::string>& sources, const std::string& folder,
                            bool move, const Callbacks& callbacks = {});
    // Renames without replacing anything already there.
    static Error rename(const std::string& from, const std::string& to);
    static Error makeFolder(const std::string& path);
    // Deletes a file or a whole folder for good.
    static Error removePermanently(const std::string& path);

    // The name a copy of path gets in its own folder.
    static std::string copyName(const std::string& path);
    // Whether inner is folder or lies inside it (by name).
    static bool isInside(const std::string& inner, const std::string& folder);
    // Whether both paths name the same file or folder (links followed).
    static bool isSameFile(const std::string& a, const std::string& b);
};

} // namespace kamelo
