// Shrinking rows as they stream, and the sizes and limits around it.
#include "imaging/large/largepicture.h"
#include "imaging/large/reducer.h"
#include "imaging/plausibility.h"
#include "imaging/result.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kamelo::imaging;

namespace {

// A grey source whose value at (x, y) is given, shrunk to outW x outH.
template <class F> Bitmap reduce(int w, int h, int outW, int outH, F value) {
    Bitmap out;
    large::RowReducer r;
    EXPECT_EQ(r.start(w, h, outW, outH, out), result::kSuccess);
    std::vector<uint8_t> row(size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            row[size_t(x) * 3] = row[size_t(x) * 3 + 1] = row[size_t(x) * 3 + 2] = value(x, y);
        r.addRow(y, row.data());
    }
    r.finish();
    return out;
}

} // namespace

TEST(RowReducer, EveryOutputPixelIsTheMeanOfItsBox) {
    // 4 x 4 into 2 x 2: boxes of 2 x 2 holding 0,10,20,30 ... (x + 4y) * 10.
    const Bitmap b = reduce(4, 4, 2, 2, [](int x, int y) { return uint8_t((x + 4 * y) * 10); });
    EXPECT_EQ(b.pixel(0, 0) & 0xFF, 25u);  // 0 10 40 50
    EXPECT_EQ(b.pixel(1, 0) & 0xFF, 45u);  // 20 30 60 70
    EXPECT_EQ(b.pixel(0, 1) & 0xFF, 105u); // 80 90 120 130
    EXPECT_EQ(b.pixel(1, 1) & 0xFF, 125u);
}

TEST(RowReducer, UnevenBoxesStillAverageOnlyTheirOwnPixels) {
    // 5 columns into 2: columns 0-2 are 0, 3-4 are 200; 7 rows into 3.
    const Bitmap b = reduce(5, 7, 2, 3, [](int x, int) { return uint8_t(x < 3 ? 0 : 200); });
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(b.pixel(0, y) & 0xFF, 0u);
        EXPECT_EQ(b.pixel(1, y) & 0xFF, 200u);
    }
}

TEST(RowReducer, ATargetLargerThanTheSourceIsRefused) {
    Bitmap out;
    large::RowReducer r;
    EXPECT_EQ(r.start(10, 10, 11, 5, out), result::kTooLarge);
    EXPECT_EQ(r.start(10, 10, 0, 5, out), result::kInvalidParameter);
}

TEST(LargeSizes, FittedDenominators) {
    struct Row {
        int w, h, boxW, boxH, n;
    } rows[] = {
        {40000, 25000, 1920, 1080, 24}, // 1667 x 1042
        {1920, 1080, 1920, 1080, 1},    {1921, 1080, 1920, 1080, 2},
        {65500, 65500, 256, 256, 256},  {100, 100, 1, 1, 100},
    };
    for (const Row& r : rows) {
        const int n = large::fittedDenominator(r.w, r.h, r.boxW, r.boxH);
        EXPECT_EQ(n, r.n) << r.w << "x" << r.h;
        EXPECT_LE(large::scaledSide(r.w, n), r.boxW);
        EXPECT_LE(large::scaledSide(r.h, n), r.boxH);
    }
}

TEST(LargeSizes, WholeLoadsAreScaledOnlyBeyondOneBitmap) {
    EXPECT_FALSE(large::tooLargeWhole(16384, 16384, 1)); // exactly 2^28
    EXPECT_TRUE(large::tooLargeWhole(16385, 16384, 1));
    EXPECT_FALSE(large::tooLargeWhole(40000, 25000, 2));
    EXPECT_EQ(large::denominatorWithin(40000, 25000, 1), 4); // 10000 x 6250
    EXPECT_EQ(large::denominatorWithin(40000, 25000, 8), 8);
}

TEST(Plausibility, TiffSizesAreJudgedByTheirCompression) {
    struct Row {
        int64_t w, h;
        int compression;
        size_t bytes;
        int expected;
    } rows[] = {
        {70000, 4000, 8, 30000, result::kSuccess},        // deflate: 9,334 pixels a byte
        {70000, 4000, 8, 20000, result::kCorruptData},    // 14,000 a byte
        {70000, 4000, 1, 35000000, result::kSuccess},     // uncompressed 1-bit
        {70000, 4000, 1, 30000000, result::kCorruptData}, // fewer bytes than 1-bit pixels
        {100000, 100000, 4, 20000, result::kSuccess},     // a blank fax page: a bit a row
        {100000, 100000, 4, 10000, result::kCorruptData},
        {int64_t(1) << 21, 16, 8, 1u << 30, result::kTooLarge},
        {0, 16, 8, 100, result::kCorruptData},
    };
    for (const Row& r : rows)
        EXPECT_EQ(plausibility::checkTiff(r.w, r.h, r.compression, r.bytes), r.expected)
            << r.w << "x" << r.h << " compression " << r.compression << " in " << r.bytes;
}
