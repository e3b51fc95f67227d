#include "heifsamples.h"

#include "imaging/modern/heifcodec.h"
#include "imaging/result.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

using namespace kamelo::imaging;
namespace hs = kamelo::test::heif;

namespace {

Bitmap quarters(int width, int height) {
    Bitmap b;
    b.allocate(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.setPixel(x, y, hs::quarterColour(x, y, width, height));
    return b;
}

// A colour profile as a writer would carry it: a header, no tags.
std::vector<uint8_t> smallProfile() {
    std::vector<uint8_t> icc(132, 0);
    icc[3] = 132;                                      // size
    std::copy_n("mntrRGB XYZ ", 12, icc.begin() + 12); // class, colour space, connection space
    std::copy_n("acsp", 4, icc.begin() + 36);
    icc[8] = 4; // version 4.0
    return icc;
}

struct Round {
    int quality;
    int tolerance;
};

TEST(HeifEncode, AvifRoundTripsAtEachQuality) {
    const Round rounds[] = {{100, 0}, {90, 10}, {40, 40}};
    const Bitmap source = quarters(96, 64);
    for (const Round& r : rounds) {
        SCOPED_TRACE(r.quality);
        std::vector<uint8_t> avif;
        ASSERT_EQ(heifcodec::encodeAvif(source, r.quality, {}, avif), result::kSuccess);
        FileInfo info;
        ASSERT_EQ(heifcodec::readInfo(hs::viewOf(avif), info), result::kSuccess);
        EXPECT_EQ(info.compression, "AVIF");
        Bitmap back;
        ASSERT_EQ(heifcodec::decode(hs::viewOf(avif), LoadOptions{}, back), result::kSuccess);
        ASSERT_EQ(back.width(), 96);
        ASSERT_EQ(back.height(), 64);
        for (int y = 4; y < 64; y += 16)
            for (int x = 4; x < 96; x += 16)
                EXPECT_LE(hs::channelDistance(back.pixel(x, y), source.pixel(x, y)), r.tolerance)
                    << x << "," << y;
    }
}

TEST(HeifEncode, MetadataIsKeptByteForByte) {
    ASSERT_EQ(hs::samples().error, "");
    EmbeddedMetadata metadata;
    std::string ignored;
    const auto exifFile = hs::bytesOf(hs::samples().heicExif);
    ASSERT_EQ(heifcodec::readMetadata(hs::viewOf(exifFile), metadata.exif, ignored),
              result::kSuccess);
    ASSERT_FALSE(metadata.exif.empty());
    metadata.xmp = "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta "
                   "xmlns:x='adobe:ns:meta/'><rdf:RDF "
                   "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'/></x:xmpmeta>"
                   "<?xpacket end='w'?>";
    metadata.icc = smallProfile();

    std::vector<uint8_t> avif;
    ASSERT_EQ(heifcodec::encodeAvif(quarters(64, 64), 100, metadata, avif), result::kSuccess);
    std::vector<uint8_t> exif;
    std::string xmp;
    ASSERT_EQ(heifcodec::readMetadata(hs::viewOf(avif), exif, xmp), result::kSuccess);
    EXPECT_EQ(exif, metadata.exif);
    EXPECT_EQ(xmp, metadata.xmp);

    kamelo::test::ScratchDir scratch;
    const std::string path = scratch.file("kept.avif");
    kamelo::test::writeFile(path, std::string(avif.begin(), avif.end()));
    const std::string icc = hs::output("exiftool -b -ICC_Profile " + hs::quote(path));
    EXPECT_EQ(icc, std::string(metadata.icc.begin(), metadata.icc.end()));
    EXPECT_EQ(hs::output("exiftool -s3 -Make " + hs::quote(path)), std::string(hs::kMake) + "\n");
    std::string error; // another AVIF reader takes the file too
    EXPECT_TRUE(
        hs::run("avifdec " + hs::quote(path) + " " + hs::quote(scratch.file("o.y4m")), error))
        << error;
    // The profile's box beside the coding matrix still leaves the pixels exact.
    Bitmap back;
    ASSERT_EQ(heifcodec::decode(hs::viewOf(avif), LoadOptions{}, back), result::kSuccess);
    EXPECT_EQ(back.pixel(10, 10), hs::kTopLeft);
    EXPECT_EQ(back.pixel(50, 50), hs::kBottomRight);
}

TEST(HeifEncode, BadInputGivesCodes) {
    std::vector<uint8_t> out{1};
    EXPECT_EQ(heifcodec::encodeAvif(Bitmap{}, 80, {}, out), result::kNoBitmap);
    EXPECT_TRUE(out.empty());
    EmbeddedMetadata notTiff;
    notTiff.exif = {'n', 'o', 't', ' ', 'e', 'x', 'i', 'f'};
    EXPECT_EQ(heifcodec::encodeAvif(quarters(16, 16), 80, notTiff, out), result::kInvalidParameter);
}

} // namespace
