#include "imaging/picturefile.h"
#include "imaging/picturesaver.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

using namespace kamelo::imaging;

namespace {

struct Bands {
    std::vector<int> covered; // times each row was reported in the final pass
    std::vector<int> passes;
};

LoadOptions recording(Bands& bands, int bandRows) {
    LoadOptions o;
    o.bandRows = bandRows;
    o.onRows = [&bands](const Bitmap& b, int first, int count, int pass) {
        if (bands.covered.empty())
            bands.covered.assign(static_cast<size_t>(b.height()), 0);
        if (bands.passes.empty() || bands.passes.back() != pass)
            bands.passes.push_back(pass);
        if (pass == 0)
            for (int y = first; y < first + count; ++y)
                ++bands.covered[static_cast<size_t>(y)];
        return 1;
    };
    return o;
}

} // namespace

TEST(RowLoad, EveryRowIsReportedOnceInBandsForEachFormat) {
    KAMELO_REQUIRE_TESTDATA();
    for (const char* file : {"jpg/hopper.jpg", "png/basn2c08.png", "psd/hopper.psd", "iff/owl.iff",
                             "tif/hopper_lzw.tif", "pcx/rose.pcx"}) {
        SCOPED_TRACE(file);
        Bands bands;
        Bitmap b;
        ASSERT_GE(PictureFile::load(kamelo::test::testDataFile(std::string("formats/") + file), b,
                                    recording(bands, 16)),
                  1);
        ASSERT_EQ(bands.covered.size(), static_cast<size_t>(b.height()));
        for (int c : bands.covered)
            ASSERT_EQ(c, 1);
    }
}

TEST(RowLoad, ACallbackCodeStopsTheLoadAndIsReturned) {
    KAMELO_REQUIRE_TESTDATA();
    int calls = 0;
    LoadOptions o;
    o.bandRows = 8;
    o.onRows = [&calls](const Bitmap&, int, int, int) { return ++calls == 3 ? -1087 : 1; };
    Bitmap b;
    EXPECT_EQ(PictureFile::load(kamelo::test::testDataFile("formats/jpg/hopper.jpg"), b, o), -1087);
    EXPECT_EQ(calls, 3);
}

TEST(RowLoad, ProgressiveJpegsCanReportTheirRefinementPasses) {
    KAMELO_REQUIRE_TESTDATA();
    const std::string path = kamelo::test::testDataFile("formats/jpg/app13-multiple.jpg");
    Bands bands;
    LoadOptions o = recording(bands, 32);
    o.reportPasses = true;
    Bitmap progressive, plain;
    ASSERT_GE(PictureFile::load(path, progressive, o), 1);
    ASSERT_GT(bands.passes.size(), 2u);
    EXPECT_EQ(bands.passes.front(), 1);
    EXPECT_EQ(bands.passes.back(), 0);
    for (int c : bands.covered)
        ASSERT_EQ(c, 1);
    // The last pass is the same picture a plain load gives.
    ASSERT_GE(PictureFile::load(path, plain), 1);
    for (int y = 0; y < plain.height(); ++y)
        ASSERT_EQ(std::memcmp(plain.row(y), progressive.row(y), size_t(plain.width()) * 3), 0);
}
