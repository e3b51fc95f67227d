#include "exif/exifreport.h"
#include "exif/jpegpropertyinfo.h"
#include "imaging/filecomments.h"
#include "imaging/picturefile.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace kamelo;

TEST(ExifReport, CameraFilesShowTheirValues) {
    KAMELO_REQUIRE_TESTDATA();
    const std::vector<ExifRow> rows =
        ExifReport::rows(kamelo::test::testDataFile("camera/Canon_40D.jpg"));
    ASSERT_EQ(rows.size(), 21u);
    EXPECT_EQ(rows[5].value, "Canon");
    EXPECT_EQ(rows[6].value, "Canon EOS 40D");
    EXPECT_EQ(rows[8].value, "2008:05:30 15:56:01");
    EXPECT_EQ(rows[11].value, "1/160초 (0.0063초)");
    EXPECT_EQ(rows[12].value, "100");
    EXPECT_EQ(rows[14].value, "135.0 mm");
    EXPECT_EQ(rows[19].value, "F/7.1");
    EXPECT_EQ(rows[20].value, "Version 2.2");
    EXPECT_EQ(rows[10].value, "1");
    EXPECT_EQ(rows[16].value, "sRGB");
    EXPECT_EQ(rows[0].value, "100픽셀");

    // Not a JPEG: 0 pixels, empty rows.
    const std::vector<ExifRow> png =
        ExifReport::rows(kamelo::test::testDataFile("formats/png/basn2c08.png"));
    EXPECT_EQ(png[0].value, "0픽셀");
    EXPECT_EQ(png[5].value, "");
    const std::vector<ExifRow> missing = ExifReport::rows("/nonexistent/x.jpg");
    EXPECT_EQ(missing[0].value, "0픽셀");
}

TEST(JpegPropertyInfo, SavingAJpegKeepsTheCameraProperties) {
    KAMELO_REQUIRE_TESTDATA();
    const std::string source = kamelo::test::testDataFile("camera/Nikon_D70.jpg");
    const JpegPropertyInfo props = JpegPropertyInfo::read(source);
    ASSERT_TRUE(props.has(271));
    EXPECT_EQ(props.item(271)->text, "NIKON CORPORATION");
    EXPECT_TRUE(props.has(33434));
    EXPECT_NE(props.shortOr(37385), 0xFFFF);
    EXPECT_EQ(props.shortOr(0x1234), 0xFFFF);

    imaging::Bitmap picture;
    ASSERT_GE(imaging::PictureFile::load(source, picture), 1);
    kamelo::test::ScratchDir dir;
    const std::string out = dir.file("saved.jpg");
    ASSERT_GE(props.saveJpeg(picture, out, 96), 1);
    const JpegPropertyInfo back = JpegPropertyInfo::read(out);
    EXPECT_GE(props.size(), 15u);
    for (uint16_t tag = 0; tag < 0xFFFF; ++tag) {
        if (!props.has(tag) || tag == 305)
            continue;
        ASSERT_TRUE(back.has(tag)) << tag;
        const auto* a = props.item(tag);
        const auto* b = back.item(tag);
        EXPECT_EQ(a->text, b->text) << tag;
        EXPECT_EQ(a->shortValue, b->shortValue) << tag;
        EXPECT_EQ(a->numerator, b->numerator) << tag;
        EXPECT_EQ(a->denominator, b->denominator) << tag;
        EXPECT_EQ(a->bytes, b->bytes) << tag;
    }
    EXPECT_EQ(back.item(305)->text, "Halvern Kamelo 2.2");
    // The picture itself is still a JPEG of the same size.
    imaging::FileInfo info;
    ASSERT_GE(imaging::PictureFile::readInfo(out, info), 1);
    EXPECT_EQ(info.width, picture.width());
    // And the comments the rows read are there.
    EXPECT_EQ(imaging::FileComments::text(out, 5), "NIKON CORPORATION");
}

TEST(ExifReport, SpecialFilesGiveEmptyValuesWithoutWaiting) {
    // A FIFO named like a picture would block any reader that opens it by
    // name until a writer comes; alarm() turns a hang into a failure.
    ::alarm(20);
    kamelo::test::ScratchDir dir;
    const std::string fifo = dir.file("f.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero"), dir.path()}) {
        SCOPED_TRACE(path);
        const ExifSources s = ExifReport::sources(path);
        EXPECT_FALSE(s.section.hasExif);
        EXPECT_TRUE(s.comments.empty());
        const JpegPropertyInfo props = JpegPropertyInfo::read(path);
        EXPECT_FALSE(props.shortValue(274).has_value());
    }
    ::alarm(0);
}
