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
    // A typed size held to x : y within maxWidth x maxHeight: the typed side
    // (the width when widthTyped) is limited first and the other follows
    // from it, truncated; when that one passes its own limit it is limited
    // and the typed side follows back from it.
    static std::pair<int, int> fit(int width, int height, bool widthTyped, int x, int y,
                                   int maxWidth, int maxHeight);
};

} // namespace kamelo::edit
