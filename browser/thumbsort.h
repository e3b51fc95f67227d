#pragma once

#include "browser/core/thumbdata.h"

#include <vector>

namespace kamelo {

// The order of the thumbnail list: the parent entry first and folders before
// files whatever the column and direction; then by name (the file manager's
// order), size, type or modification date, names breaking ties. Sizes and
// dates come from the file system, since records made in thumbnail view do
// not carry them.
class ThumbSort {
public:
    enum Column { kName = 0, kSize = 1, kType = 2, kDate = 3 };
    static void sort(std::vector<CThumbData>& records, int column, bool ascending);
};

} // namespace kamelo
