// AVIF read through libavif (avifcodec) against the same files read
// through libheif (heifcodec): both readers must agree on every sample.
#include "heifsamples.h"

#include "imaging/colour/iccprofile.h"
#include "imaging/modern/avifcodec.h"
#include "imaging/modern/heifcodec.h"
#include "imaging/result.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kamelo::imaging;
namespace hs = kamelo::test::heif;

namespace {

class AvifCodec : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(hs::samples().error, ""); }
};

// The largest channel difference between two pictures of the same size.
int largestDifference(const Bitmap& a, const Bitmap& b) {
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            worst = std::max(worst, hs::channelDistance(a.pixel(x, y), b.pixel(x, y)));
    return worst;
}

TEST_F(AvifCodec, AgreesWithTheHeifReaderOnEverySample) {
    for (auto file :
         {&hs::Samples::avifLossless, &hs::Samples::avifGrid, &hs::Samples::avifAlpha,
          &hs::Samples::avifHalf, &hs::Samples::avifHalfPremultiplied, &hs::Samples::avifExif}) {
        SCOPED_TRACE(hs::samples().*file);
        const auto bytes = hs::bytesOf(hs::samples().*file);
        FileInfo ours, theirs;
        ASSERT_EQ(avifcodec::readInfo(hs::viewOf(bytes), ours), result::kSuccess);
        ASSERT_EQ(heifcodec::readInfo(hs::viewOf(bytes), theirs), result::kSuccess);
        EXPECT_EQ(ours.width, theirs.width);
        EXPECT_EQ(ours.height, theirs.height);
        EXPECT_EQ(ours.bitsPerPixel, theirs.bitsPerPixel);
        EXPECT_EQ(ours.compression, "AVIF");
        Bitmap a, b;
        ASSERT_EQ(avifcodec::decode(hs::viewOf(bytes), LoadOptions{}, a), result::kSuccess);
        ASSERT_EQ(heifcodec::decode(hs::viewOf(bytes), LoadOptions{}, b), result::kSuccess);
        ASSERT_EQ(a.width(), b.width());
        ASSERT_EQ(a.height(), b.height());
        EXPECT_EQ(a.sourceBitsPerPixel(), b.sourceBitsPerPixel());
        EXPECT_LE(largestDifference(a, b), 1);
    }
}

// Made here: deeper samples, a clean aperture and colour descriptions.
TEST_F(AvifCodec, DepthsCropsAndColourDescriptionsAreRead) {
    kamelo::test::ScratchDir scratch;
    const std::string deep = scratch.file("deep.png");
    std::string error;
    ASSERT_TRUE(hs::run("convert " + hs::quote(hs::samples().picture) +
                            " -depth 16 PNG48:" + hs::quote(deep),
                        error))
        << error;
    struct Row {
        const char* name;
        const char* args;
        int width, height, bits;
        bool profile; // a colour space other than sRGB is set on the picture, else none
        bool deep;    // made from the 16-bit copy of the sample
    };
    const Row rows[] = {
        {"10 bits", "-l -d 10", 128, 128, 30, false, true},
        {"12 bits", "-l -d 12", 128, 128, 36, false, true},
        {"clean aperture", "-l --crop 16,32,64,48", 64, 48, 24, false, false},
        {"Display P3 by nclx", "-l --cicp 12/13/0", 128, 128, 24, true, false},
        {"sRGB by nclx", "-l --cicp 1/13/0", 128, 128, 24, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string file = scratch.file(std::string(r.name) + ".avif");
        const std::string source = r.deep ? deep : hs::samples().picture;
        ASSERT_TRUE(hs::run(std::string("avifenc ") + r.args + " " + hs::quote(source) + " " +
                                hs::quote(file),
                            error))
            << error;
        const auto bytes = hs::bytesOf(file);
        FileInfo info;
        ASSERT_EQ(avifcodec::readInfo(hs::viewOf(bytes), info), result::kSuccess);
        EXPECT_EQ(info.width, r.width);
        EXPECT_EQ(info.height, r.height);
        EXPECT_EQ(info.bitsPerPixel, r.bits);
        Bitmap a, b;
        ASSERT_EQ(avifcodec::decode(hs::viewOf(bytes), LoadOptions{}, a), result::kSuccess);
        ASSERT_EQ(heifcodec::decode(hs::viewOf(bytes), LoadOptions{}, b), result::kSuccess);
        ASSERT_EQ(a.width(), r.width);
        ASSERT_EQ(a.height(), r.height);
        ASSERT_EQ(b.width(), r.width);
        EXPECT_LE(largestDifference(a, b), 1);
        if (r.profile) {
            ASSERT_NE(a.colourProfile(), nullptr);
            EXPECT_FALSE(a.colourProfile()->isSrgb());
        } else {
            EXPECT_EQ(a.colourProfile(), nullptr); // sRGB, as the HEIF path says it
        }
    }
}

TEST_F(AvifCodec, RowsArriveInBandsAndAStopEndsTheLoad) {
    const auto bytes = hs::bytesOf(hs::samples().avifLossless);
    int next = 0;
    LoadOptions options;
    options.bandRows = 20;
    options.onRows = [&](const Bitmap&, int first, int count, int pass) {
        EXPECT_EQ(pass, 0);
        EXPECT_EQ(first, next);
        EXPECT_LE(count, 20);
        next = first + count;
        return 1;
    };
    Bitmap bitmap;
    ASSERT_EQ(avifcodec::decode(hs::viewOf(bytes), options, bitmap), result::kSuccess);
    EXPECT_EQ(next, hs::kSide);
    constexpr int kStop = -1087;
    int calls = 0;
    options.onRows = [&](const Bitmap&, int, int, int) { return ++calls == 2 ? kStop : 1; };
    EXPECT_EQ(avifcodec::decode(hs::viewOf(bytes), options, bitmap), kStop);
    EXPECT_EQ(calls, 2);
}

// Cut files are refused, damaged ones decode only to their own size, and a
// forged size is refused before anything is allocated.
TEST_F(AvifCodec, CutDamagedAndForgedFilesGiveCodesNotCrashes) {
    for (auto file : {&hs::Samples::avifLossless, &hs::Samples::avifGrid}) {
        const auto whole = hs::bytesOf(hs::samples().*file);
        for (size_t keep :
             {size_t(0), size_t(11), size_t(40), whole.size() / 2, whole.size() - 1}) {
            SCOPED_TRACE(hs::samples().*file + " cut to " + std::to_string(keep));
            const std::vector<uint8_t> cut(whole.begin(), whole.begin() + long(keep));
            FileInfo info;
            Bitmap picture;
            avifcodec::readInfo(hs::viewOf(cut), info);
            EXPECT_LT(avifcodec::decode(hs::viewOf(cut), LoadOptions{}, picture), 1);
            EXPECT_FALSE(picture.isAllocated());
        }
        for (size_t step : {size_t(3), size_t(17), size_t(101)}) {
            SCOPED_TRACE(hs::samples().*file + " every " + std::to_string(step));
            auto damaged = whole;
            for (size_t i = 24; i < damaged.size(); i += step)
                damaged[i] ^= 0x5A;
            FileInfo info;
            Bitmap picture;
            avifcodec::readInfo(hs::viewOf(damaged), info);
            if (avifcodec::decode(hs::viewOf(damaged), LoadOptions{}, picture) >= 1) {
                EXPECT_EQ(picture.width() * picture.height(), hs::kSide * hs::kSide);
            }
        }
    }
    const auto whole = hs::bytesOf(hs::samples().avifLossless);
    const uint8_t ispe[] = {'i', 's', 'p', 'e'};
    const auto at = std::search(whole.begin(), whole.end(), std::begin(ispe), std::end(ispe));
    ASSERT_NE(at, whole.end());
    const size_t size = size_t(at - whole.begin()) + 8;
    const uint32_t forgedSizes[][2] = {{16000, 16000}, {40000, 100}};
    for (const auto& r : forgedSizes) {
        SCOPED_TRACE(std::to_string(r[0]) + "x" + std::to_string(r[1]));
        auto forged = whole;
        for (int i = 0; i < 4; ++i) {
            forged[size + size_t(i)] = uint8_t(r[0] >> (24 - 8 * i));
            forged[size + 4 + size_t(i)] = uint8_t(r[1] >> (24 - 8 * i));
        }
        Bitmap bitmap;
        EXPECT_LT(avifcodec::decode(hs::viewOf(forged), LoadOptions{}, bitmap), 1);
        EXPECT_FALSE(bitmap.isAllocated());
    }
}

} // namespace
