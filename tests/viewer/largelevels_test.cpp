#include "imaging/bitmap.h"
#include "imaging/large/largepicture.h"
#include "imaging/orientation.h"
#include "viewer/largelevels.h"

#include <gtest/gtest.h>

using namespace kamelo::largeview;

namespace {

struct FittedCase {
    int width, height, level;
};

class FittedLevel : public ::testing::TestWithParam<FittedCase> {};

TEST_P(FittedLevel, IsAPowerOfTwoWithinTheScaledBudget) {
    const FittedCase c = GetParam();
    const int level = fittedLevel(c.width, c.height);
    EXPECT_EQ(level, c.level);
    EXPECT_EQ(level & (level - 1), 0);
    const int64_t area = int64_t(kamelo::imaging::large::scaledSide(c.width, level)) *
                         kamelo::imaging::large::scaledSide(c.height, level);
    EXPECT_LE(area, kamelo::imaging::large::kMaxScaledPixels);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FittedLevel,
                         ::testing::Values(FittedCase{17000, 16000, 8}, FittedCase{40000, 25000, 8},
                                           FittedCase{65500, 65500, 8},
                                           FittedCase{200000, 200000, 32},
                                           FittedCase{2000000000, 1, 32}));

struct LevelCase {
    double factor;
    int fitted, level;
};

class TileLevel : public ::testing::TestWithParam<LevelCase> {};

TEST_P(TileLevel, IsTheCoarsestAsFineAsTheScreen) {
    const LevelCase c = GetParam();
    EXPECT_EQ(tileLevel(c.factor, c.fitted), c.level);
}

INSTANTIATE_TEST_SUITE_P(
    Factors, TileLevel,
    ::testing::Values(LevelCase{0.05, 8, 0},  // the smaller decode is sharp enough
                      LevelCase{0.125, 8, 0}, // exactly its scale
                      LevelCase{0.2, 8, 4}, LevelCase{0.25, 8, 4}, LevelCase{0.3, 8, 2},
                      LevelCase{0.5, 8, 2}, LevelCase{0.75, 8, 1}, LevelCase{1.0, 8, 1},
                      LevelCase{3.0, 8, 1}, LevelCase{0.02, 64, 32}, LevelCase{0.0, 8, 0}));

TEST(LargeLevels, ConsecutiveTilesMeetOnScreenWithoutGapsOrOverlaps) {
    const QSize picture(17000, 16000);
    // Odd factors and offsets: 0.37 and 2.3 of the picture, off the origin.
    for (const QRect& dest : {QRect(-3000, 55, 6290, 5920), QRect(-19000, -7000, 39100, 36800)}) {
        for (int level : {1, 2, 4}) {
            const QSize grid = gridSize(picture, level);
            for (int c = 0; c + 1 < grid.width(); ++c) {
                const QRect a = viewRect(picture, dest, tileSource(picture, level, c, 0));
                const QRect b = viewRect(picture, dest, tileSource(picture, level, c + 1, 0));
                EXPECT_EQ(a.x() + a.width(), b.x()) << level << " " << c;
            }
            const QRect last = viewRect(
                picture, dest, tileSource(picture, level, grid.width() - 1, grid.height() - 1));
            EXPECT_EQ(last.x() + last.width(), dest.x() + dest.width());
            EXPECT_EQ(last.y() + last.height(), dest.y() + dest.height());
        }
    }
}

TEST(LargeLevels, TheEdgeTilesHoldWhatIsLeft) {
    const QSize picture(17000, 16000);
    EXPECT_EQ(gridSize(picture, 1), QSize(34, 32));
    EXPECT_EQ(gridSize(picture, 4), QSize(9, 8));
    EXPECT_EQ(tileSource(picture, 1, 33, 31), QRect(16896, 15872, 104, 128));
    EXPECT_EQ(tileSource(picture, 4, 8, 7), QRect(16384, 14336, 616, 1664));
    EXPECT_TRUE(tileSource(picture, 1, 34, 0).isEmpty());
}

TEST(LargeLevels, TheTilesOverAPartAndTheirRing) {
    const QSize picture(17000, 16000);
    const QRect part(1000, 600, 1200, 500); // columns 1..4, rows 1..2 at level 1
    EXPECT_EQ(tilesOver(picture, 1, part, 0), QRect(1, 1, 4, 2));
    EXPECT_EQ(tilesOver(picture, 1, part, 1), QRect(0, 0, 6, 4));
    // The ring stops at the grid's edges.
    EXPECT_EQ(tilesOver(picture, 1, QRect(16800, 15800, 200, 200), 2), QRect(30, 28, 4, 4));
    EXPECT_TRUE(tilesOver(picture, 1, QRect(), 1).isEmpty());
}

struct AreaCase {
    QRect dest, visible, area;
};

class PictureArea : public ::testing::TestWithParam<AreaCase> {};

TEST_P(PictureArea, IsWhatTheViewShowsRoundedOutwards) {
    const AreaCase c = GetParam();
    EXPECT_EQ(pictureArea(QSize(17000, 16000), c.dest, c.visible), c.area);
}

INSTANTIATE_TEST_SUITE_P(
    Views, PictureArea,
    ::testing::Values(
        // 100 %, panned: one view pixel, one picture pixel.
        AreaCase{QRect(-8100, -7700, 17000, 16000), QRect(0, 0, 800, 600),
                 QRect(8100, 7700, 800, 600)},
        // 50 %: two picture pixels to a view pixel.
        AreaCase{QRect(-100, -50, 8500, 8000), QRect(0, 0, 800, 600), QRect(200, 100, 1600, 1200)},
        // Fitted and centred: the whole picture, however the borders lie.
        AreaCase{QRect(81, 0, 638, 600), QRect(0, 0, 800, 600), QRect(0, 0, 17000, 16000)},
        // Off screen.
        AreaCase{QRect(900, 0, 638, 600), QRect(0, 0, 800, 600), QRect()}));

} // namespace

// The tiles of a turned picture: cut from the stored rows and turned one by
// one, each lands where the decoders' own rule puts its pixels.
TEST(UprightTiles, EveryOrientationMatchesTheDecodersRule) {
    using kamelo::imaging::Bitmap;
    constexpr int kW = 7, kH = 5;
    Bitmap stored;
    ASSERT_GE(stored.allocate(kW, kH), 1);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            uint8_t* p = stored.row(y) + x * 3;
            p[0] = uint8_t(x * 30), p[1] = uint8_t(y * 40), p[2] = uint8_t(200 - x - y);
        }
    const QImage storedImage = stored.view().convertToFormat(QImage::Format_RGB32);
    const QRect parts[] = {QRect(0, 0, kW, kH), QRect(1, 2, 3, 2), QRect(6, 0, 1, 5),
                           QRect(2, 4, 5, 1)};
    for (int orientation = 1; orientation <= 8; ++orientation) {
        Bitmap turned = stored;
        ASSERT_GE(kamelo::imaging::Orientation::makeUpright(turned, orientation), 1);
        const QImage upright = turned.view().convertToFormat(QImage::Format_RGB32);
        for (const QRect& part : parts) {
            const QRect there = uprightRect(QSize(kW, kH), orientation, part);
            ASSERT_TRUE(upright.rect().contains(there)) << orientation;
            EXPECT_EQ(storedRect(QSize(kW, kH), orientation, there), part) << orientation;
            EXPECT_EQ(uprightTile(storedImage.copy(part), orientation), upright.copy(there))
                << "orientation " << orientation << " part " << part.x() << "," << part.y();
        }
    }
}
