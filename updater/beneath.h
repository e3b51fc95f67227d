#pragma once

#include <optional>
#include <string>

namespace vela {

// Everything the updater makes, replaces or deletes lies below its
// installation folder (the root). A link already there, a folder link or
// one in place of "__TEMP__", must never carry a write or a delete outside
// it, so every path below the root is resolved part by part with no link
// followed. The root itself is the installation's own and is taken as it is.

// The part of `path` below `root` ("a/b/c", separators as "/"), or nothing
// when `path` does not lie below it.
std::optional<std::string> relativeBelow(const std::string& root, const std::string& path);

// Opens the folder `relative` (parts split at "/" and "\") below the open
// folder `base`, following no link on the way: openat2 with
// RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS where the kernel has it, else part
// by part with O_NOFOLLOW | O_DIRECTORY. `create` makes missing parts
// (0755). -1 on failure; errno is ELOOP when a part is a link, ENOTDIR when
// it is a file, EINVAL for a ".." part ("." parts are skipped).
int openFolderBeneath(int base, const std::string& relative, bool create);

// The folder holding `path` (which lies below `root`), opened as above;
// `name` receives its last part. A path not below `root` is refused (-1,
// EXDEV).
int openParentBeneath(const std::string& root, const std::string& path, bool create,
                      std::string& name);

// Creates or truncates the regular file `path` for writing (its folder must
// exist). A path below `root` is resolved without links;
// any other path (root empty, or a caller's own folder) only refuses a link
// in place of the file itself. -1 on failure.
int createFileBeneath(const std::string& root, const std::string& path);

// Deletes the file (or link, as itself) `path` below `root`, its folder
// reached without links.
void removeFileBeneath(const std::string& root, const std::string& path);

// True when an existing folder part of `relativeFolder` below `root` is a
// link: an entry whose folder passes through one is refused.
bool passesThroughLink(const std::string& root, const std::string& relativeFolder);

// The folder part of a relative path ("a\b\c.dll" gives "a/b"), "" for none.
std::string folderPart(const std::string& relative);

} // namespace vela
