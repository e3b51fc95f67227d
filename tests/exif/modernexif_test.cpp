// Camera information of the newer formats: HEIF and AVIF (their Exif item),
// WebP (its EXIF chunk), JPEG XL (its Exif box) and RAW (a DNG's IFD0), as
// the information pane and `kamelo-cli exif` show it.

#include "exif/exifreport.h"
#include "exif/jpegpropertyinfo.h"
#include "tests/support/dngwriter.h"
#include "tests/support/metadatadump.h"

#include <gtest/gtest.h>

using namespace kamelo;
using kamelo::test::commandOutput;
using kamelo::test::quoted;

namespace {

// A 64 x 48 JPEG with the camera's values, as a phone would write them.
std::string cameraJpeg(const test::ScratchDir& dir) {
    const std::string jpeg = dir.file("source.jpg");
    commandOutput("convert -size 64x48 xc:'#3366cc' " + quoted(jpeg));
    commandOutput("exiftool -q -q -overwrite_original -Make=Kamelo -Model='Test Phone' "
                  "-DateTimeOriginal='2024:05:06 07:08:09' -ExposureTime=1/125 -FNumber=2.8 "
                  "-ISO=200 " +
                  quoted(jpeg));
    return jpeg;
}

// The same picture and values in another format, by the format's own tools.
std::string sample(const test::ScratchDir& dir, const std::string& jpeg, const std::string& ext) {
    const std::string out = dir.file("sample." + ext);
    if (ext == "heic")
        commandOutput("heif-enc -q 90 " + quoted(jpeg) + " -o " + quoted(out) + " >/dev/null");
    else if (ext == "avif")
        commandOutput("heif-enc -A -q 90 " + quoted(jpeg) + " -o " + quoted(out) + " >/dev/null");
    else if (ext == "webp")
        commandOutput("cwebp -quiet " + quoted(jpeg) + " -o " + quoted(out));
    else if (ext == "jxl")
        commandOutput("cjxl --lossless_jpeg=0 -d 1 " + quoted(jpeg) + " " + quoted(out) +
                      " >/dev/null 2>&1");
    // WebP and JPEG XL writers leave the camera's values out: ExifTool adds them.
    if (ext == "webp" || ext == "jxl")
        commandOutput("exiftool -q -q -overwrite_original -tagsFromFile " + quoted(jpeg) +
                      " -exif:all " + quoted(out));
    return out;
}

class ModernExif : public testing::TestWithParam<const char*> {};

TEST_P(ModernExif, RowsShowTheCamerasValues) {
    for (const char* tool : {"convert", "exiftool", "heif-enc", "cwebp", "cjxl"})
        ASSERT_TRUE(test::haveTool(tool)) << tool << " is needed";
    test::ScratchDir dir;
    const std::string path = sample(dir, cameraJpeg(dir), GetParam());
    ASSERT_EQ(commandOutput("exiftool -s3 -Make " + quoted(path)), "Kamelo\n");
    const std::vector<ExifRow> rows = ExifReport::rows(path);
    ASSERT_EQ(rows.size(), size_t(ExifRows::kCount));
    EXPECT_EQ(rows[0].value, "64픽셀");
    EXPECT_EQ(rows[1].value, "48픽셀");
    EXPECT_EQ(rows[5].value, "Kamelo");
    EXPECT_EQ(rows[6].value, "Test Phone");
    EXPECT_EQ(rows[8].value, "2024:05:06 07:08:09");
    EXPECT_EQ(rows[11].value, ExifRows::exposureText(1.0 / 125));
    EXPECT_EQ(rows[12].value, "200");
    EXPECT_EQ(rows[19].value, "F/2.8");
}

INSTANTIATE_TEST_SUITE_P(Formats, ModernExif, testing::Values("heic", "avif", "webp", "jxl"));

TEST(ModernExif, ARawFileShowsItsCameraAndOrientation) {
    test::ScratchDir dir;
    test::DngOptions options;
    options.orientation = 6;
    options.make = "Kamelo";
    options.model = "Test Camera";
    const std::string dng = dir.file("card.dng");
    ASSERT_TRUE(test::writeDng(dng, options));
    const std::vector<ExifRow> rows = ExifReport::rows(dng);
    EXPECT_EQ(rows[5].value, "Kamelo");
    EXPECT_EQ(rows[6].value, "Test Camera");
    EXPECT_EQ(rows[10].value, "6");
    EXPECT_NE(rows[0].value, "0픽셀");
    // A picture written from it is written with the orientation its pixels
    // are stored in.
    EXPECT_EQ(JpegPropertyInfo::read(dng).shortValue(274), 6);
}

} // namespace
