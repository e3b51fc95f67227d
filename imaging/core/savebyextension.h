#pragma once

#include <string>

namespace kamelo::imaging {

// Which writer an output file gets, chosen by its extension alone. The
// viewer's Save also writes GIF; the batch operations do not (a GIF written
// at 24 bits would lose its palette and animation without being asked).
enum class SaveTable { Viewer, Batch };

// Returned for "JPG" and "JPEG": the JPEG writer that keeps the camera
// information, not a plain library save.
inline constexpr int kJpegWriter = -1;

// The library format code for the extension (without the dot, any case),
// kJpegWriter, or 0 when nothing is written for it.
int saveFormatForExtension(const std::string& extension, SaveTable table);
// The same for the extension of the last name of path ("" has none).
int saveFormatForPath(const std::string& path, SaveTable table);

// The extension of the last name of path, upper-cased, without the dot.
std::string upperExtension(const std::string& path);

} // namespace kamelo::imaging
