// What a WebP or AVIF written from a photo embeds: the EXIF block made for
// the written pixels, the XMP packet and the ICC profile, as JPEG writes do.

#include "imaging/bitmap.h"
#include "imaging/metadatacarrier.h"
#include "tests/support/metadatadump.h"

#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>

using namespace kamelo::imaging;
using kamelo::test::ScratchDir;

namespace {

std::string tagOf(const Exiv2::ExifData& exif, const char* key) {
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    return it == exif.end() ? std::string("-") : it->toString();
}

} // namespace

TEST(WebMetadata, TheBlocksDescribeTheWrittenPixels) {
    KAMELO_REQUIRE_TESTDATA();
    ASSERT_TRUE(kamelo::test::haveTool("exiftool")) << "exiftool is needed";
    ScratchDir dir;
    const std::string photo = kamelo::test::richPhoto(dir);
    ASSERT_FALSE(photo.empty());
    kamelo::test::commandOutput("exiftool -q -q -overwrite_original -Orientation#=6 " +
                                kamelo::test::quoted(photo));
    MetadataCarrier carrier;
    ASSERT_EQ(carrier.read(photo), 1);
    carrier.setOrientation(1); // the pixels were turned upright
    Bitmap pixels;
    ASSERT_EQ(pixels.allocate(30, 20), 1);

    EmbeddedMetadata out;
    ASSERT_EQ(carrier.embeddedMetadata(pixels, out), 1);
    // A TIFF structure from its byte-order mark, no "Exif" prefix.
    ASSERT_GE(out.exif.size(), 8u);
    EXPECT_TRUE((out.exif[0] == 'I' && out.exif[1] == 'I') ||
                (out.exif[0] == 'M' && out.exif[1] == 'M'));
    Exiv2::ExifData exif;
    Exiv2::ExifParser::decode(exif, out.exif.data(), uint32_t(out.exif.size()));
    EXPECT_EQ(tagOf(exif, "Exif.Image.Make"), "Canon");
    EXPECT_EQ(tagOf(exif, "Exif.Image.Orientation"), "1");
    EXPECT_EQ(tagOf(exif, "Exif.Photo.PixelXDimension"), "30");
    EXPECT_EQ(tagOf(exif, "Exif.Photo.PixelYDimension"), "20");
    EXPECT_EQ(tagOf(exif, "Exif.GPSInfo.GPSLatitudeRef"), "N");
    // No thumbnail of the source's picture comes along.
    EXPECT_EQ(tagOf(exif, "Exif.Thumbnail.JPEGInterchangeFormat"), "-");
    EXPECT_NE(out.xmp.find("Kim Photographer"), std::string::npos);
    EXPECT_EQ(std::string(out.icc.begin(), out.icc.end()),
              kamelo::test::binaryTag(photo, "ICC_Profile"));

    // A source without metadata embeds nothing.
    MetadataCarrier empty;
    ASSERT_EQ(empty.embeddedMetadata(pixels, out), 1);
    EXPECT_TRUE(out.exif.empty() && out.xmp.empty() && out.icc.empty());
}
