#include "exif/core/jpegsectionreader.h"
#include "exif/jpegpropertyinfo.h"
#include "imaging/geometryops.h"
#include "imaging/picturefile.h"
#include "imaging/resize.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

using namespace kamelo;

namespace {

// A picture with enough detail that the quality changes the size.
imaging::Bitmap generatedPicture(int width, int height) {
    imaging::Bitmap b;
    b.create(width, height);
    uint32_t seed = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1103515245u + 12345u;
            const uint32_t noise = (seed >> 16) & 0x3F;
            const uint32_t r = uint32_t(x * 255 / width) ^ noise;
            const uint32_t g = uint32_t(y * 255 / height);
            const uint32_t bl = uint32_t((x + y) & 0xFF) ^ (noise << 1);
            b.setPixel(x, y, (r & 0xFF) << 16 | (g & 0xFF) << 8 | (bl & 0xFF));
        }
    return b;
}

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One row of camera/EXPECTED.tsv by column name.
std::map<std::string, std::string> expectedRow(const std::string& file) {
    std::ifstream in(kamelo::test::testDataFile("camera/EXPECTED.tsv"));
    std::string line;
    std::getline(in, line);
    std::vector<std::string> header;
    {
        std::stringstream s(line);
        for (std::string cell; std::getline(s, cell, '\t');)
            header.push_back(cell);
    }
    while (std::getline(in, line)) {
        std::stringstream s(line);
        std::map<std::string, std::string> row;
        size_t i = 0;
        for (std::string cell; std::getline(s, cell, '\t') && i < header.size(); ++i)
            row[header[i]] = cell;
        if (row["file"] == file)
            return row;
    }
    return {};
}

ExifImageInfo sectionInfo(const std::string& path) {
    ExifImageInfo info;
    JpegSectionReader reader(&info);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f) {
        reader.readSections(f);
        std::fclose(f);
    }
    return info;
}

// The value and type exiv2 finds under key, or none.
struct TagSeen {
    bool present = false;
    Exiv2::TypeId type = Exiv2::invalidTypeId;
    long value = 0;
};
TagSeen tagIn(const std::string& path, const char* key) {
    TagSeen seen;
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    const Exiv2::ExifData& exif = image->exifData();
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    if (it != exif.end()) {
        seen.present = true;
        seen.type = it->typeId();
        seen.value = it->toLong(0);
    }
    return seen;
}

} // namespace

TEST(JpegWriter, TheEstimateIsTheSavedFileByteForByte) {
    const imaging::Bitmap picture = generatedPicture(331, 217);
    kamelo::test::ScratchDir dir;
    JpegPropertyInfo empty;
    JpegPropertyInfo camera;
    if (!kamelo::test::testDataDir().empty())
        camera = JpegPropertyInfo::read(kamelo::test::testDataFile("camera/Canon_40D.jpg"));
    for (const JpegPropertyInfo* props : {&empty, &camera}) {
        size_t previous = 0;
        for (int quality : {0, 50, 96, 100}) {
            SCOPED_TRACE(quality);
            std::vector<uint8_t> estimate;
            ASSERT_EQ(props->encodeJpeg(picture, quality, estimate), 1);
            const std::string out = dir.file("q" + std::to_string(quality) + ".jpg");
            ASSERT_EQ(props->saveJpeg(picture, out, quality), 1);
            EXPECT_EQ(fileBytes(out), estimate);
            // A higher quality never gives a smaller file for this picture.
            EXPECT_GT(estimate.size(), previous);
            previous = estimate.size();
        }
    }
}

TEST(JpegWriter, AFailedEncodeLeavesNoBytesAndNoFile) {
    JpegPropertyInfo props;
    imaging::Bitmap none;
    std::vector<uint8_t> out{1, 2, 3};
    EXPECT_LT(props.encodeJpeg(none, 90, out), 1);
    EXPECT_TRUE(out.empty());
    kamelo::test::ScratchDir dir;
    EXPECT_LT(props.saveJpeg(none, dir.file("none.jpg"), 90), 1);
    EXPECT_FALSE(std::ifstream(dir.file("none.jpg")).good());
}

TEST(JpegWriter, SizeTagsGiveTheSavedPictureWithTheirTypeKept) {
    KAMELO_REQUIRE_TESTDATA();
    // Issue 508 says 3024 x 2268 in IFD0 and in the EXIF directory (as LONG)
    // while its picture is 1 x 1.
    const std::string source = kamelo::test::testDataFile("camera/Issue 508.jpg");
    const JpegPropertyInfo props = JpegPropertyInfo::read(source);
    ASSERT_TRUE(props.has(256));
    ASSERT_TRUE(props.has(40962));
    const imaging::Bitmap picture = generatedPicture(40, 30);
    kamelo::test::ScratchDir dir;
    const std::string out = dir.file("sized.jpg");
    ASSERT_EQ(props.saveJpeg(picture, out, 80), 1);
    for (const auto& [key, value] :
         std::vector<std::pair<const char*, long>>{{"Exif.Image.ImageWidth", 40},
                                                   {"Exif.Image.ImageLength", 30},
                                                   {"Exif.Photo.PixelXDimension", 40},
                                                   {"Exif.Photo.PixelYDimension", 30}}) {
        SCOPED_TRACE(key);
        const TagSeen seen = tagIn(out, key);
        ASSERT_TRUE(seen.present);
        EXPECT_EQ(seen.value, value);
        EXPECT_EQ(seen.type, tagIn(source, key).type);
    }
    // The record itself still holds what the source said.
    EXPECT_EQ(props.shortOr(256), 3024);
}

TEST(JpegWriter, AbsentSizeTagsStayAbsent) {
    KAMELO_REQUIRE_TESTDATA();
    // The Canon has the EXIF directory's sizes but no IFD0 ImageWidth.
    const std::string source = kamelo::test::testDataFile("camera/Canon_40D.jpg");
    const JpegPropertyInfo props = JpegPropertyInfo::read(source);
    ASSERT_FALSE(props.has(256));
    ASSERT_FALSE(props.has(257));
    kamelo::test::ScratchDir dir;
    const std::string out = dir.file("a.jpg");
    ASSERT_EQ(props.saveJpeg(generatedPicture(17, 9), out, 90), 1);
    EXPECT_FALSE(tagIn(out, "Exif.Image.ImageWidth").present);
    EXPECT_FALSE(tagIn(out, "Exif.Image.ImageLength").present);
    EXPECT_EQ(tagIn(out, "Exif.Photo.PixelXDimension").value, 17);
    EXPECT_EQ(tagIn(out, "Exif.Photo.PixelYDimension").value, 9);
    // Without any record nothing but Software is written.
    const std::string plain = dir.file("plain.jpg");
    ASSERT_EQ(JpegPropertyInfo().saveJpeg(generatedPicture(17, 9), plain, 90), 1);
    EXPECT_FALSE(tagIn(plain, "Exif.Photo.PixelXDimension").present);
}

// A record made in memory writes each kind in its EXIF type and reads back
// as it was set; the signed rational keeps its sign.
TEST(JpegWriter, EveryKindOfFieldSetInMemoryReadsBackAsSet) {
    using Kind = JpegPropertyInfo::Kind;
    struct Row {
        uint16_t tag;
        JpegPropertyInfo::Item item;
        Exiv2::TypeId type;
    };
    const Row rows[] = {
        {274, {Kind::Short, 6, -1, 0, "", {}}, Exiv2::unsignedShort},
        {33434, {Kind::Rational, 0xFFFF, 1, 250, "", {}}, Exiv2::unsignedRational},
        {37380, {Kind::Rational, 0xFFFF, -2, 3, "", {}}, Exiv2::signedRational},
        {271, {Kind::Text, 0xFFFF, -1, 0, "Halvern", {}}, Exiv2::asciiString},
        {36864, {Kind::Bytes4, 0xFFFF, -1, 0, "", {'0', '2', '3', '2'}}, Exiv2::undefined},
    };
    JpegPropertyInfo props;
    for (const Row& r : rows)
        props.set(r.tag, r.item);
    kamelo::test::ScratchDir dir;
    const std::string out = dir.file("set.jpg");
    ASSERT_EQ(props.saveJpeg(generatedPicture(17, 9), out, 90), 1);
    const JpegPropertyInfo back = JpegPropertyInfo::read(out);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.tag);
        const JpegPropertyInfo::Item* i = back.item(r.tag);
        ASSERT_NE(i, nullptr);
        EXPECT_EQ(i->kind, r.item.kind);
        EXPECT_EQ(i->shortValue, r.item.shortValue);
        EXPECT_EQ(i->numerator, r.item.numerator);
        EXPECT_EQ(i->denominator, r.item.denominator);
        EXPECT_EQ(i->text, r.item.text);
        EXPECT_EQ(i->bytes, r.item.bytes);
    }
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(out);
    image->readMetadata();
    for (const Row& r : rows) {
        const auto it =
            image->exifData().findKey(Exiv2::ExifKey(r.tag, r.tag < 0x8000 ? "Image" : "Photo"));
        ASSERT_NE(it, image->exifData().end()) << r.tag;
        EXPECT_EQ(it->typeId(), r.type) << r.tag;
    }
}

TEST(JpegWriter, CameraPicturesResizedOrTurnedKeepTheirCameraInformation) {
    KAMELO_REQUIRE_TESTDATA();
    kamelo::test::ScratchDir dir;
    // Intel and Motorola files, SHORT and LONG sizes, one with two size
    // components and one whose sizes are stored as 0.
    for (const std::string name : {"Canon_40D.jpg", "Nikon D40.jpg", "Kodak_CX7530.jpg",
                                   "32-lens_data.jpeg", "kodak-dc240.jpg", "Apple iPhone 5.jpg"}) {
        SCOPED_TRACE(name);
        const std::string source = kamelo::test::testDataFile("camera/" + name);
        const std::map<std::string, std::string> expected = expectedRow(name);
        ASSERT_FALSE(expected.empty());
        imaging::Bitmap picture;
        ASSERT_GE(imaging::PictureFile::load(source, picture), 1);
        const int w = picture.width();
        const int h = picture.height();
        const JpegPropertyInfo props = JpegPropertyInfo::read(source);

        // Half the size, then a quarter turn: the saved picture is h/2 x w/2.
        ASSERT_GE(imaging::Resize::apply(picture, w / 2, h / 2, imaging::Resize::kResample), 1);
        ASSERT_GE(imaging::GeometryOps::rotate(picture, 9000), 1);
        ASSERT_EQ(picture.width(), h / 2);
        ASSERT_EQ(picture.height(), w / 2);
        const std::string out = dir.file("turned-" + name);
        ASSERT_EQ(props.saveJpeg(picture, out, 85), 1);

        const ExifImageInfo back = sectionInfo(out);
        EXPECT_EQ(back.width, h / 2);
        EXPECT_EQ(back.height, w / 2);
        EXPECT_EQ(back.cameraMake, expected.at("Make"));
        EXPECT_EQ(back.cameraModel, expected.at("Model"));
        EXPECT_EQ(back.dateTime, expected.at("DateTimeOriginal"));
        const std::string exposure = expected.at("ExposureTime");
        if (exposure != "-") {
            EXPECT_NEAR(back.exposureTime, std::stod(exposure), 1e-6);
        }
        if (expected.at("ExifImageWidth") != "-") {
            EXPECT_EQ(tagIn(out, "Exif.Photo.PixelXDimension").value, h / 2);
            EXPECT_EQ(tagIn(out, "Exif.Photo.PixelYDimension").value, w / 2);
        }
        const JpegPropertyInfo saved = JpegPropertyInfo::read(out);
        EXPECT_EQ(saved.item(305)->text, "Halvern Kamelo 2.2");
    }
}

TEST(JpegWriter, ChromaSamplingIsTheSourcesOrFollowsTheQuality) {
    KAMELO_REQUIRE_TESTDATA();
    if (std::system("command -v identify >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "identify is needed";
    struct Row {
        const char* source; // none: a record not read from a file
        int quality;
        const char* sampling;
    };
    // JPEG sources keep theirs at any quality (4:2:2, 4:4:4, 4:2:0); other
    // pictures get 4:4:4 from 90 up and 4:2:0 below. Save As's estimate is
    // this very encode.
    for (const Row& row : std::vector<Row>{{"", 96, "1x1,1x1,1x1"},
                                           {"", 89, "2x2,1x1,1x1"},
                                           {"formats/png/basn2c08.png", 90, "1x1,1x1,1x1"},
                                           {"formats/png/basn2c08.png", 50, "2x2,1x1,1x1"},
                                           {"camera/Nikon D40.jpg", 96, "2x1,1x1,1x1"},
                                           {"camera/Nikon D40.jpg", 40, "2x1,1x1,1x1"},
                                           {"camera/Canon_40D.jpg", 60, "1x1,1x1,1x1"},
                                           {"camera/Apple iPhone 5.jpg", 96, "2x2,1x1,1x1"}}) {
        SCOPED_TRACE(std::string(row.source) + " " + std::to_string(row.quality));
        const JpegPropertyInfo props =
            *row.source ? JpegPropertyInfo::read(kamelo::test::testDataFile(row.source))
                        : JpegPropertyInfo();
        kamelo::test::ScratchDir dir;
        std::vector<uint8_t> estimate;
        ASSERT_EQ(props.encodeJpeg(generatedPicture(64, 48), row.quality, estimate), 1);
        const std::string out = dir.file("out.jpg");
        std::ofstream(out, std::ios::binary)
            .write(reinterpret_cast<const char*>(estimate.data()),
                   std::streamsize(estimate.size()));
        FILE* p = ::popen(("identify -format '%[jpeg:sampling-factor]' " + out).c_str(), "r");
        char text[64] = {};
        ASSERT_NE(p, nullptr);
        const size_t n = std::fread(text, 1, sizeof text - 1, p);
        ::pclose(p);
        EXPECT_EQ(std::string(text, n), row.sampling);
    }
}
