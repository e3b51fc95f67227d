#pragma once

#include <functional>

namespace kamelo::imaging {

class Bitmap;

// Called as rows arrive: the bitmap being filled, the first row of the band,
// its row count and the refinement pass (0 for the final picture). Return 1
// (or more) to go on; any other value stops the load, which then returns it.
using RowCallback = std::function<int(const Bitmap& bitmap, int firstRow, int rowCount, int pass)>;

struct LoadOptions {
    // 1, 2, 4 or 8: a JPEG (and the first frame of a GIF) is decoded at 1/n
    // of its size (fast thumbnails); other formats ignore it.
    int scaleDenominator = 1;
    // Page or frame to load (multi-page TIFF and DCX, animated GIF).
    int page = 0;
    // Rows per reported band.
    int bandRows = 16;
    // Report the refinement passes of a progressive JPEG, not only the end.
    bool reportPasses = false;
    RowCallback onRows;
    // A JPEG, PNG or TIFF too large for one bitmap (at the asked scale) may
    // come out smaller than asked, read scaled from its file: for what only
    // shows a picture (thumbnails, printing, the slide show). Otherwise such
    // a picture is refused with kTooLarge, so that nothing that writes a
    // picture back writes a reduced copy of it.
    bool mayReduce = false;
    // A picture no longer needed whose memory the decode may take over when
    // the new picture has its size (JPEG); it is emptied either way.
    Bitmap* reuse = nullptr;
};

} // namespace kamelo::imaging
