#pragma once

#include "imaging/large/request.h"

#include <string>

namespace kamelo::imaging::large {

// A PNG read from its file row by row: rows above and beside the region are
// decoded and dropped, nothing below it is read, and only one row is held.
// An interlaced file's first pass is every eighth pixel both ways: a target
// of an eighth or less is made from it alone; a larger one needs the whole
// picture in memory and is refused (kTooLarge) beyond kWorkBudget.
int pngSize(const std::string& path, int& width, int& height);
int decodePng(const std::string& path, const Request& request, Bitmap& out);

} // namespace kamelo::imaging::large
