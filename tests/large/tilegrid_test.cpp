// Cutting a picture into tiles at a scale, and decoding them.
#include "largepictures.h"

#include "imaging/large/largepicture.h"
#include "imaging/large/tilegrid.h"
#include "imaging/result.h"

#include <gtest/gtest.h>

using namespace kamelo::imaging;
namespace lt = kamelo::test::large;

TEST(TileGrid, TilesCoverThePictureWithSmallerOnesAtTheEdges) {
    const struct {
        large::TileGrid grid;
        int columns, rows;
        large::TileGrid::Part last; // the bottom right tile's part
    } rows[] = {
        {{3000, 2000, 3, 256}, 4, 3, {2304, 1536, 696, 464}},
        {{512, 512, 1, 512}, 1, 1, {0, 0, 512, 512}},
        {{65000, 65000, 1, 512}, 127, 127, {64512, 64512, 488, 488}},
        {{1 << 20, 10, 8192, 512}, 1, 1, {0, 0, 1 << 20, 10}}, // a span past 2^31
        {{0, 10, 1, 512}, 0, 1, {}},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.grid.columns(), r.columns);
        EXPECT_EQ(r.grid.rows(), r.rows);
        const large::TileGrid::Part p = r.grid.source(r.columns - 1, r.rows - 1);
        EXPECT_EQ(p.x, r.last.x);
        EXPECT_EQ(p.y, r.last.y);
        EXPECT_EQ(p.width, r.last.width);
        EXPECT_EQ(p.height, r.last.height);
    }
    const large::TileGrid g{3000, 2000, 3, 256};
    EXPECT_EQ(g.source(4, 0).width, 0);
    EXPECT_EQ(g.source(-1, 0).width, 0);
}

TEST(TileGrid, EachTileDecodesToItsSide) {
    const lt::SampleFile f = lt::jpegSample(lt::JpegLayout::Progressive, 3000, 2000);
    const large::TileGrid g{f.width, f.height, 3, 256};
    for (const auto& [column, row, side] : {std::tuple{0, 0, 256}, std::tuple{3, 2, 0}}) {
        const large::TileGrid::Part p = g.source(column, row);
        Bitmap tile;
        ASSERT_EQ(large::decodeRegion(f.path, {p.x, p.y, p.width, p.height}, g.denominator, tile),
                  result::kSuccess);
        EXPECT_EQ(tile.width(), side ? side : 232);
        EXPECT_EQ(tile.height(), side ? side : 155);
        EXPECT_EQ(tile.pixel(0, 0), tile.pixel(tile.width() - 1, tile.height() - 1));
    }
}
