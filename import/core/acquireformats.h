#pragma once

#include <string>
#include <string_view>

namespace kamelo::acquire {

// The file types taken from a camera or card, by extension compared in
// lower case: the pictures and the four movie types.
bool isAcceptedExtension(std::string_view extension);
// The same for the last name of a path ("" when it has no extension).
bool isAcceptedPath(const std::string& path);
// mov, avi, mpg, asf, mpeg: shown with an icon, never decoded.
bool isMoviePath(const std::string& path);

// The last name of a path, its title (without the extension) and its
// extension with the dot ("" when the name has none; a leading dot alone
// does not start one).
std::string fileName(const std::string& path);
std::string fileTitle(const std::string& path);
std::string fileExtension(const std::string& path);

} // namespace kamelo::acquire
