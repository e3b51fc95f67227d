#include "imaging/modern/webpcodec.h"
#include "imaging/result.h"
#include "tests/support/scratchdir.h"
#include "webpsamples.h"

#include <gtest/gtest.h>

using namespace kamelo::imaging;
using namespace kamelo::test;
using namespace kamelo::test::webp;

namespace {

class WebPEncode : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(samples().error.empty()) << samples().error;
        // An odd width, so rows carry padding.
        ASSERT_EQ(picture.allocate(37, 23), result::kSuccess);
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x)
                picture.setPixel(x, y, uint32_t(x * 7) << 16 | uint32_t(y * 11) << 8 | (x ^ y));
    }

    Bitmap roundTrip(int quality, const EmbeddedMetadata& metadata = {}) {
        std::vector<uint8_t> file;
        EXPECT_EQ(webpcodec::encode(picture, quality, metadata, file), result::kSuccess);
        Bitmap b;
        EXPECT_EQ(webpcodec::decode(viewOf(file), LoadOptions{}, b), result::kSuccess);
        return b;
    }

    Bitmap picture;
    ScratchDir scratch;
};

// Lossless keeps every pixel; lossy ones keep the size.
TEST_F(WebPEncode, RoundTrip) {
    for (int quality : {0, 50, 99, 100}) {
        const Bitmap b = roundTrip(quality);
        ASSERT_EQ(b.width(), 37);
        ASSERT_EQ(b.height(), 23);
        for (int y = 0; quality == 100 && y < 23; ++y)
            for (int x = 0; x < 37; ++x)
                ASSERT_EQ(b.pixel(x, y), picture.pixel(x, y)) << x << "," << y;
    }
}

TEST_F(WebPEncode, RefusesWhatItCannotWrite) {
    std::vector<uint8_t> file;
    EXPECT_EQ(webpcodec::encode(Bitmap{}, 80, {}, file), result::kNoBitmap);
    EXPECT_EQ(webpcodec::encode(picture, 101, {}, file), result::kInvalidParameter);
    EXPECT_EQ(webpcodec::encode(picture, -1, {}, file), result::kInvalidParameter);
    EXPECT_TRUE(file.empty());
}

// EXIF, XMP and ICC chunks come back byte for byte through webpmux, and the
// orientation is read from the EXIF chunk by this reader and by exiftool.
TEST_F(WebPEncode, MetadataChunksAreKept) {
    EmbeddedMetadata m;
    // II, 42, IFD0 at 8 with one entry: orientation (SHORT) 8; no next IFD.
    m.exif = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 1, 3, 0, 1, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0};
    m.xmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
            "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'/></x:xmpmeta>";
    m.icc.resize(301);
    for (size_t i = 0; i < m.icc.size(); ++i)
        m.icc[i] = uint8_t(i * 13);
    for (int quality : {80, 100}) {
        std::vector<uint8_t> file;
        ASSERT_EQ(webpcodec::encode(picture, quality, m, file), result::kSuccess);
        const std::string path = scratch.file("meta.webp");
        writeFile(path, std::string(file.begin(), file.end()));
        const std::vector<uint8_t> xmp(m.xmp.begin(), m.xmp.end());
        const std::pair<const char*, const std::vector<uint8_t>*> chunks[] = {
            {"exif", &m.exif}, {"xmp", &xmp}, {"icc", &m.icc}};
        for (const auto& [name, expected] : chunks) {
            const std::string out = scratch.file(std::string(name) + ".bin");
            std::string error;
            ASSERT_TRUE(run(std::string("webpmux -get ") + name + " " + path + " -o " + out, error))
                << error;
            EXPECT_EQ(bytesOf(out), *expected) << name;
        }
        EXPECT_EQ(webpcodec::readOrientation(path), 8);
        std::string error;
        EXPECT_TRUE(run("exiftool -q -if '$Orientation# == 8' -Orientation " + path, error));
        Bitmap b;
        EXPECT_EQ(webpcodec::decode(viewOf(file), LoadOptions{}, b), result::kSuccess);
        EXPECT_EQ(b.width(), 37);
    }
}

} // namespace
