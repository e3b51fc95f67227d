#pragma once

#include "browser/core/thumbdata.h"
#include "thumbcolour.h"

#include <QImage>

#include <functional>
#include <string>

namespace kamelo {

// What every thumbnail of one folder load is made with.
struct ThumbRecipe {
    int width = 120;
    int height = 100;
    int border = 10;
    bool useStamp = true;
    // Turned upright by the file's EXIF orientation (stamp and picture alike).
    bool upright = true;
    QImage cellTemplate; // width x height
    // How the picture's colours are made (thumbcolour): cells are sRGB
    // unless the rule keeps the pictures' values.
    int colour = thumbcolour::kAsSet;
};

struct ThumbResult {
    bool decoded = false; // false: the picture could not be read
    bool stopped = false; // the stop request came first
    QImage cell;          // the finished cell (template with the picture)
    CellRect pictureRect;
    bool dateTakenKnown = false;
    int32_t dateTaken = 0;
};

// Makes one thumbnail cell: the embedded stamp when asked and present, else
// the picture itself (JPEGs decoded at the smallest DCT scale that still
// fills the box), turned upright when the recipe asks, fitted into the box
// and converted to sRGB from the picture's colour profile (the stamp is in
// the file's colour space too), placed on the cell template, with the
// capture date of the file. Safe on worker threads.
class ThumbRenderer {
public:
    static ThumbResult render(const std::string& path, const ThumbRecipe& recipe,
                              const std::function<bool()>& stopRequested = {});
};

} // namespace kamelo
