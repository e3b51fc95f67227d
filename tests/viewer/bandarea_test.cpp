#include "viewer/viewpainter.h"

#include <gtest/gtest.h>

#include <vector>

using kamelo::ViewPainter;

namespace {

// How often each pixel of dest is covered when a picture of storedHeight
// rows arrives in bands of `band` rows.
std::vector<int> coverage(const QRect& dest, int orientation, int storedHeight, int band) {
    std::vector<int> hits(size_t(dest.width() * dest.height()), 0);
    for (int from = 0; from < storedHeight; from += band) {
        const QRect r = ViewPainter::bandArea(dest, orientation, storedHeight, from, from + band);
        EXPECT_TRUE(r.isEmpty() || dest.contains(r)) << orientation << " band " << from;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                ++hits[size_t((y - dest.top()) * dest.width() + (x - dest.left()))];
    }
    return hits;
}

} // namespace

TEST(BandArea, UprightBandsTileThePictureExactlyOnce) {
    // Shrunk (4000 rows into 301), enlarged (7 rows into 199) and 1:1.
    const struct {
        QRect dest;
        int storedHeight;
    } cases[] = {
        {QRect(50, 40, 233, 301), 4000}, {QRect(3, 0, 120, 199), 7}, {QRect(0, 0, 64, 64), 64}};
    for (const auto& c : cases)
        for (int v : coverage(c.dest, 1, c.storedHeight, 10))
            ASSERT_EQ(v, 1) << c.storedHeight;
}

TEST(BandArea, TurnedBandsCoverThePictureWithAtMostOneSharedLine) {
    for (int orientation = 2; orientation <= 8; ++orientation) {
        const QRect dest(17, 9, 200, 131);
        for (int v : coverage(dest, orientation, 3000, 10)) {
            ASSERT_GE(v, 1) << "orientation " << orientation;
            ASSERT_LE(v, 2) << "orientation " << orientation;
        }
    }
}

TEST(BandArea, NothingForEmptyBandsOrPictures) {
    EXPECT_TRUE(ViewPainter::bandArea(QRect(0, 0, 10, 10), 1, 0, 0, 10).isEmpty());
    EXPECT_TRUE(ViewPainter::bandArea(QRect(0, 0, 10, 10), 1, 100, 20, 20).isEmpty());
    EXPECT_TRUE(ViewPainter::bandArea(QRect(), 6, 100, 0, 10).isEmpty());
    // Rows past the end are the last rows, not beyond dest.
    EXPECT_EQ(ViewPainter::bandArea(QRect(0, 0, 10, 10), 1, 100, 90, 120), QRect(0, 9, 10, 1));
}
