#include "exif/jpegpropertyinfo.h"
#include "imaging/filecomments.h"
#include "imaging/metadatacarrier.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/picturesaver.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"
#include "viewer/viewersave.h"

#include <gtest/gtest.h>

#include <array>
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

TEST(ViewerSave, WebPAndAvifAreWrittenLossyKeepingTheirCameraInformation) {
    KAMELO_REQUIRE_TESTDATA();
    kamelo::test::ScratchDir dir;
    const std::string jpeg = kamelo::test::testDataFile("camera/Canon_40D.jpg");
    imaging::Bitmap picture;
    ASSERT_GE(imaging::PictureFile::load(jpeg, picture), 1);
    const imaging::MetadataCarrier keep = JpegPropertyInfo::read(jpeg).carrier();
    for (const char* name : {"photo.webp", "photo.avif"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        const int format = ViewerSave::formatFor(path);
        ASSERT_EQ(imaging::PictureSaver::save(picture, path, format, 2, &keep), 1);
        const auto lossless = fs::file_size(path);
        imaging::Bitmap shown;
        ASSERT_GE(imaging::PictureFile::load(path, shown), 1);
        shown.row(0)[0] ^= 0xFF; // an edit
        ASSERT_EQ(ViewerSave::save(shown, path), 1);
        EXPECT_LT(fs::file_size(path), lossless);
        EXPECT_TRUE(JpegPropertyInfo::read(path).has(33434));
    }
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

namespace {

// The mean colour of a 6 x 6 block at a corner: JPEG moves single pixels.
std::array<int, 3> cornerMean(const imaging::Bitmap& b, bool right, bool bottom) {
    std::array<int, 3> sum{};
    const int x0 = right ? b.width() - 6 : 0, y0 = bottom ? b.height() - 6 : 0;
    for (int y = y0; y < y0 + 6; ++y)
        for (int x = x0; x < x0 + 6; ++x)
            for (int c = 0; c < 3; ++c)
                sum[size_t(c)] += b.row(y)[x * 3 + c];
    for (int& v : sum)
        v /= 36;
    return sum;
}

void expectNear(const std::array<int, 3>& a, const std::array<int, 3>& b) {
    for (size_t c = 0; c < 3; ++c)
        EXPECT_NEAR(a[c], b[c], 12) << "channel " << c;
}

} // namespace

TEST(ViewerSave, AnUprightPictureIsWrittenWithOrientationOne) {
    KAMELO_REQUIRE_TESTDATA();
    kamelo::test::ScratchDir dir;
    const std::string path = dir.file("phone.jpg");
    fs::copy_file(kamelo::test::testDataFile("camera/Sony Cybershot (3).jpg"), path);
    ASSERT_EQ(imaging::Orientation::read(path), 6);
    imaging::Bitmap picture;
    ASSERT_GE(imaging::PictureFile::load(path, picture), 1);
    const int storedWidth = picture.width(), storedHeight = picture.height();
    ASSERT_NE(storedWidth, storedHeight);
    ASSERT_EQ(imaging::Orientation::makeUpright(picture, 6), 1);
    ASSERT_EQ(ViewerSave::save(picture, path, true), 1);

    EXPECT_EQ(imaging::Orientation::read(path), 1);
    EXPECT_EQ(JpegPropertyInfo::read(path).shortOr(274), 1);
    imaging::Bitmap again;
    ASSERT_GE(imaging::PictureFile::load(path, again), 1);
    EXPECT_EQ(again.width(), storedHeight);
    EXPECT_EQ(again.height(), storedWidth);
    for (bool right : {false, true})
        for (bool bottom : {false, true})
            expectNear(cornerMean(again, right, bottom), cornerMean(picture, right, bottom));
    // Read again with the rule on, it needs no turn: shown as saved.
    imaging::Bitmap shown = again;
    ASSERT_EQ(imaging::Orientation::makeUpright(shown, imaging::Orientation::read(path)), 1);
    EXPECT_EQ(shown.width(), again.width());
}

TEST(ViewerSave, APictureShownAsStoredKeepsItsOrientation) {
    KAMELO_REQUIRE_TESTDATA();
    kamelo::test::ScratchDir dir;
    const std::string path = dir.file("camera.jpg");
    fs::copy_file(kamelo::test::testDataFile("camera/Sony Cybershot (3).jpg"), path);
    imaging::Bitmap picture;
    ASSERT_GE(imaging::PictureFile::load(path, picture), 1);
    ASSERT_EQ(ViewerSave::save(picture, path, false), 1);
    EXPECT_EQ(imaging::Orientation::read(path), 6);
    imaging::FileInfo info;
    ASSERT_GE(imaging::PictureFile::readInfo(path, info), 1);
    EXPECT_EQ(info.width, picture.width());
}
