#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vela {

// The folder of the running updater, ending in the platform separator.
std::string installFolder();
// The temporary folder's name in the installation folder.
inline constexpr const char* kTempFolderName = "__TEMP__";
// installFolder + "__TEMP__" + separator.
std::string tempFolder(const std::string& installFolder);

// Joins a base and a tail: an empty tail or a lone separator counts as
// empty; one leading separator of the tail is dropped; a separator goes
// between the two unless the base ends with one. Both "/" and "\" count as
// separators, and every "\" of the tail becomes "/" so that the lists'
// Windows-style sub-folders land in real folders.
std::string joinPath(const std::string& base, const std::string& tail);

// Name plus extension: the part after the last "/" or "\".
std::string fileNamePart(const std::string& path);

// Splits at "/" and "\", dropping empty parts.
std::vector<std::string> pathParts(const std::string& path);

// True when a list path stays inside the folder it is joined to: not
// absolute (no leading separator, no drive or URL colon) and no ".." part.
bool isContainedRelativePath(const std::string& path);

// Size of a regular file, -1 when it cannot be opened for reading.
int64_t fileSize(const std::string& path);

// The platform's system program folder, without a trailing separator.
std::string systemFolder();

// Every "<<system>>" replaced by systemFolder().
std::string replaceSystemMarker(const std::string& text);

// ASCII case-insensitive equality.
bool equalsNoCase(const std::string& a, const std::string& b);

} // namespace vela
