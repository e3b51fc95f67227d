#pragma once

#include <string>
#include <utility>

namespace kamelo::edit {

// The crop tool's proportion list: index 0 is the picture's own shape, the
// others fixed width : height pairs.
class CropProportion {
public:
    static constexpr int kCount = 9;
    // "1 X 1" ... "10 X 8"; index 0 has its own text (the string table's).
    static std::string fixedText(int index);
    // Width : height for the index (out of range reads as 0; the
    // picture's own pair is reduced);
    // swapped gives height : width.
    static std::pair<int, int> ratio(int index, int pictureWidth, int pictureHeight,
                                     bool swapped = false);
};

} // namespace kamelo::edit
