#include "viewer/bandedscreencopy.h"
#include "viewer/viewpainter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using kamelo::BandedScreenCopy;
using kamelo::ViewPainter;
using kamelo::imaging::Bitmap;

// A picture arriving band by band, its rows below the decoded ones still
// holding other bytes: the copy made along the way must equal one scaling
// of the finished picture, row for row, so no row read what was not decoded.
TEST(BandedScreenCopy, EqualsOneScalingOfTheFinishedPicture) {
    const struct {
        int width, height, destWidth, destHeight, band, displayMode;
    } cases[] = {
        {600, 400, 147, 98, 16, 1},  // a camera picture fitted, smooth
        {600, 400, 147, 98, 16, 0},  // fast
        {601, 397, 300, 198, 7, 1},  // near half, odd sizes, small bands
        {300, 900, 77, 230, 250, 1}, // a tall one in a few large bands
        {500, 300, 499, 299, 1, 1},  // barely shrunk, row by row
        {600, 400, 147, 98, 16, 2},  // best: made whole at the end
    };
    std::mt19937 random(7);
    for (const auto& c : cases) {
        Bitmap finished;
        ASSERT_GE(finished.allocate(c.width, c.height), 1);
        for (int y = 0; y < c.height; ++y)
            for (int i = 0; i < finished.stride(); ++i)
                finished.row(y)[i] = uint8_t(random());
        Bitmap decoding;
        ASSERT_GE(decoding.allocate(c.width, c.height), 1);
        for (int y = 0; y < c.height; ++y)
            std::memset(decoding.row(y), 0xff, size_t(decoding.stride()));
        const BandedScreenCopy::Target target{QSize(c.destWidth, c.destHeight), c.displayMode,
                                              nullptr, 0};
        BandedScreenCopy copy;
        for (int rows = 0; rows < c.height;) {
            const int next = std::min(c.height, rows + c.band);
            for (int y = rows; y < next; ++y)
                std::memcpy(decoding.row(y), finished.row(y), size_t(decoding.stride()));
            rows = next;
            copy.extend(decoding, rows, target);
        }
        if (c.displayMode != 2) {
            EXPECT_GT(copy.rowsDone(), c.destHeight / 2) << c.width << "x" << c.height;
        }
        const QImage banded = copy.finish(decoding, target);
        const QImage whole = ViewPainter::screenCopy(finished, target.dest, c.displayMode, nullptr);
        ASSERT_EQ(banded.size(), whole.size());
        for (int y = 0; y < whole.height(); ++y)
            ASSERT_EQ(std::memcmp(banded.constScanLine(y), whole.constScanLine(y),
                                  size_t(whole.width()) * 4),
                      0)
                << c.width << "x" << c.height << " mode " << c.displayMode << " row " << y;
    }
}

// A new place for the copy (the window maximised during the decode)
// starts it over at the new size.
TEST(BandedScreenCopy, ANewTargetStartsOver) {
    Bitmap picture;
    ASSERT_GE(picture.allocate(400, 300), 1);
    for (int y = 0; y < 300; ++y)
        std::memset(picture.row(y), y & 0xff, size_t(picture.stride()));
    BandedScreenCopy copy;
    copy.extend(picture, 150, {QSize(200, 150), 1, nullptr, 0});
    const int before = copy.rowsDone();
    EXPECT_GT(before, 0);
    const BandedScreenCopy::Target bigger{QSize(380, 285), 1, nullptr, 0};
    const QImage done = copy.finish(picture, bigger);
    EXPECT_EQ(done.size(), bigger.dest);
    const QImage whole = ViewPainter::screenCopy(picture, bigger.dest, 1, nullptr);
    EXPECT_EQ(done, whole);
}
