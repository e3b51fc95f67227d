#pragma once

namespace kamelo::imaging::large {

// The tiles a picture is cut into at one scale: each tile is tileSide x
// tileSide pixels of the 1/denominator picture (those on the right and
// bottom edges smaller), and covers a part of the full-size picture that
// decodeRegion() turns into exactly that tile.
struct TileGrid {
    int width = 0; // the full-size picture
    int height = 0;
    int denominator = 1;
    int tileSide = 512;

    int columns() const;
    int rows() const;
    // The full-size part of tile (column, row); empty outside the grid.
    struct Part {
        int x = 0, y = 0, width = 0, height = 0;
    };
    Part source(int column, int row) const;
};

} // namespace kamelo::imaging::large
