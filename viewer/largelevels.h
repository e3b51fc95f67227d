#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

namespace kamelo::largeview {

// The arithmetic of a picture too large for one bitmap shown by the view:
// a smaller decode of the whole picture, and tiles of the part on screen
// read from the file at a level (a power-of-two denominator) fine enough
// for the zoom. Full-size picture pixels unless said otherwise.

inline constexpr int kTileSide = 512;

// The denominator of the whole picture's decode: a power of two, at least
// 8 (the cheapest JPEG scale; tiles cover closer looks), within what one
// scaled decode may hold.
int fittedLevel(int width, int height);
// The level of tiles for a view showing the picture at factor (screen
// pixels per picture pixel): the coarsest whose pixels are no larger than
// the screen's. 0 when the whole picture's decode at fitted is fine enough.
int tileLevel(double factor, int fitted);

// The part of a picture laid out at dest (view pixels) seen in visible,
// rounded outwards; empty when none is.
QRect pictureArea(QSize picture, const QRect& dest, const QRect& visible);
// Where the part full of the picture lands in the view: consecutive parts
// meet without a gap or an overlap.
QRect viewRect(QSize picture, const QRect& dest, const QRect& full);

// The grid of tiles of a level: (column, row) ranges, right and bottom
// exclusive, held in a QRect's x, y, width and height.
QSize gridSize(QSize picture, int level);
// The tiles holding any of the part full, grown by margin tiles on each
// side and kept inside the grid.
QRect tilesOver(QSize picture, int level, const QRect& full, int margin);
// The part of the picture tile (column, row) of a level shows.
QRect tileSource(QSize picture, int level, int column, int row);

// A picture whose EXIF orientation turns it: the tiles are cut from the
// stored rows and turned one by one, the view lays out the upright picture.
// Where the part stored of a picture stored at size lies once the picture
// is turned upright by orientation (1-8), and back.
QRect uprightRect(QSize stored, int orientation, const QRect& part);
QRect storedRect(QSize stored, int orientation, const QRect& part);
// A tile cut from the stored rows, turned upright.
QImage uprightTile(const QImage& tile, int orientation);

} // namespace kamelo::largeview
