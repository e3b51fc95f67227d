#include "exif/jpegpropertyinfo.h"
#include "imaging/filecomments.h"
#include "imaging/picturefile.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"
#include "viewer/viewersave.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace kamelo;
namespace fs = std::filesystem;

TEST(ViewerSave, AJpegIsWrittenOverItselfKeepingItsCameraInformation) {
    KAMELO_REQUIRE_TESTDATA();
    kamelo::test::ScratchDir dir;
    const std::string path = dir.file("photo.JPG");
    fs::copy_file(kamelo::test::testDataFile("camera/Canon_40D.jpg"), path);
    imaging::Bitmap picture;
    ASSERT_GE(imaging::PictureFile::load(path, picture), 1);
    picture.row(0)[0] = 0; // an edit
    ASSERT_EQ(ViewerSave::save(picture, path), 1);
    EXPECT_EQ(imaging::FileComments::text(path, 5), "Canon");
    EXPECT_EQ(imaging::FileComments::text(path, 22), "2008:05:30 15:56:01");
    EXPECT_EQ(imaging::FileComments::text(path, 9), "Halvern Kamelo 2.2");
    const JpegPropertyInfo props = JpegPropertyInfo::read(path);
    EXPECT_TRUE(props.has(33434));
    imaging::FileInfo info;
    ASSERT_GE(imaging::PictureFile::readInfo(path, info), 1);
    EXPECT_EQ(info.width, 100);
}

TEST(ViewerSave, OtherFormatsByTheirExtensionAndUnknownOnesNotAtAll) {
    kamelo::test::ScratchDir dir;
    imaging::Bitmap picture;
    picture.create(8, 6);
    EXPECT_EQ(ViewerSave::formatFor("/a/b.png"), 75);
    EXPECT_EQ(ViewerSave::formatFor("/a/b.TIFF"), 17);
    EXPECT_EQ(ViewerSave::formatFor("/a/b.jpeg"), -1);
    EXPECT_EQ(ViewerSave::formatFor("/a/b.wmf"), 0);
    EXPECT_EQ(ViewerSave::formatFor("/a.b/c"), 0);
    ASSERT_EQ(ViewerSave::save(picture, dir.file("x.png")), 1);
    imaging::FileInfo info;
    ASSERT_GE(imaging::PictureFile::readInfo(dir.file("x.png"), info), 1);
    EXPECT_EQ(info.width, 8);
    kamelo::test::writeFile(dir.file("x.emf"), "keep");
    EXPECT_EQ(ViewerSave::save(picture, dir.file("x.emf")), ViewerSave::kNotSaved);
    EXPECT_EQ(kamelo::test::readFile(dir.file("x.emf")), "keep");
    // A folder that cannot be written leaves nothing behind and says so.
    EXPECT_LT(ViewerSave::save(picture, dir.file("missing/x.png")), 0);
}
