#pragma once

#include <string>

namespace kamelo {

// Letting go of a big file frees its blocks, about a second per few
// gigabytes on a busy disk. These do that part on a short-lived thread of
// its own, so the window's thread that drops a folder's cache files goes on
// at once.

// Closes fd (nothing for a negative one).
void closeAside(int fd);
// Removes a file: unlinked here, its blocks freed when the descriptor held
// open is closed aside. Only the name is removed when it cannot be opened.
void removeAside(const std::string& path);

} // namespace kamelo
