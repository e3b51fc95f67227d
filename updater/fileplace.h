#pragma once

#include <string>

namespace vela {

// True when another program holds the file: it keeps a lock on it, or runs
// it as its program. Such a file is left in place and replaced later.
bool isFileHeld(const std::string& path);

// Puts the complete file `source` in place of `target` in one step (a
// rename, or a copy beside the target renamed over it when the two lie on
// different file systems), so that a crash never leaves a half-written
// target. The target keeps its permissions; a new program file becomes
// executable. Both lie below `root` and their folders are reached without
// following links. False when the target is held or cannot be written, or
// a folder on the way is a link.
bool placeFile(const std::string& root, const std::string& source, const std::string& target);

// Deletes the contents of `folder` recursively: every file is deleted, every
// sub-folder emptied the same way, and a folder is removed only when its
// path holds "__TEMP__". Links are deleted as themselves, never followed,
// and a link in the place of `folder` itself is left alone.
void clearTempFolder(const std::string& folder);

// Makes the temporary folder anew: a link or a file in its place is deleted
// as itself, a real folder emptied, and the folder made with mkdir. False
// when no real folder could be made.
bool makeTempFolder(const std::string& installFolder);

// Empties and removes the temporary folder; a link in its place is deleted
// as itself.
void removeTempFolder(const std::string& installFolder);

// Deletes the files of `folder` whose names begin with "~", except those a
// running program uses as its program file and `keep`.
void deleteTildeFiles(const std::string& folder, const std::string& keep = {});

// A new empty file "<folder>~temp.XXXXXX"; empty when none can be made.
std::string makeTildeTempName(const std::string& folder);

// Copies a regular file over `target` (made executable); false on failure.
bool copyProgram(const std::string& source, const std::string& target);

} // namespace vela
