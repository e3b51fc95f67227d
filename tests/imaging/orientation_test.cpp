#include "imaging/filecomments.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QImageWriter>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace kamelo::imaging;

namespace {

uint32_t colourOf(int x, int y) {
    return uint32_t(0x100000 * (x + 1) + 0x000100 * (y + 1) + 0x07);
}

uint32_t pixel(const Bitmap& b, int x, int y) {
    const uint8_t* p = b.row(y) + x * 3; // blue, green, red
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

Bitmap numbered(int w, int h) {
    Bitmap b;
    EXPECT_EQ(b.create(w, h), result::kSuccess);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = b.row(y) + x * 3;
            const uint32_t c = colourOf(x, y);
            p[0] = uint8_t(c);
            p[1] = uint8_t(c >> 8);
            p[2] = uint8_t(c >> 16);
        }
    return b;
}

// Where the stored pixel (x, y) of a w x h picture stands once the picture
// is upright: the meaning of each EXIF value (row 0 and column 0 are the
// visual top/left, right, bottom or left side).
std::pair<int, int> uprightPlace(int o, int x, int y, int w, int h) {
    switch (o) {
    case 2:
        return {w - 1 - x, y};
    case 3:
        return {w - 1 - x, h - 1 - y};
    case 4:
        return {x, h - 1 - y};
    case 5:
        return {y, x};
    case 6:
        return {h - 1 - y, x};
    case 7:
        return {h - 1 - y, w - 1 - x};
    case 8:
        return {y, w - 1 - x};
    default:
        return {x, y};
    }
}

} // namespace

TEST(Orientation, EveryValueMovesEachPixelWhereItsMeaningSays) {
    const int w = 4, h = 3;
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE(o);
        Bitmap b = numbered(w, h);
        ASSERT_EQ(Orientation::makeUpright(b, o), result::kSuccess);
        const bool swap = Orientation::swapsSides(o);
        ASSERT_EQ(b.width(), swap ? h : w);
        ASSERT_EQ(b.height(), swap ? w : h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const auto [ux, uy] = uprightPlace(o, x, y, w, h);
                EXPECT_EQ(pixel(b, ux, uy), colourOf(x, y)) << x << "," << y;
            }
    }
}

TEST(Orientation, ValuesOutsideTheRangeLeaveThePictureAlone) {
    for (int o : {0, 9, -1, 65535}) {
        Bitmap b = numbered(3, 2);
        EXPECT_EQ(Orientation::makeUpright(b, o), result::kSuccess);
        EXPECT_EQ(b.width(), 3);
        EXPECT_EQ(pixel(b, 0, 0), colourOf(0, 0));
        EXPECT_FALSE(Orientation::swapsSides(o));
        const Orientation::Steps s = Orientation::stepsFor(o);
        EXPECT_FALSE(s.mirror);
        EXPECT_EQ(s.quarterTurns, 0);
    }
}

TEST(Orientation, NoPictureIsAnError) {
    Bitmap empty;
    EXPECT_EQ(Orientation::makeUpright(empty, 6), result::kNoBitmap);
}

TEST(Orientation, OnePixelWideAndTallPicturesTurn) {
    Bitmap b = numbered(5, 1);
    ASSERT_EQ(Orientation::makeUpright(b, 8), result::kSuccess);
    EXPECT_EQ(b.width(), 1);
    EXPECT_EQ(b.height(), 5);
    EXPECT_EQ(pixel(b, 0, 4), colourOf(0, 0));
}

TEST(Orientation, ReadGivesTheCameraFilesValues) {
    KAMELO_REQUIRE_TESTDATA();
    std::ifstream in(kamelo::test::testDataFile("camera/EXPECTED.tsv"));
    std::string line;
    std::getline(in, line);
    int column = -1, i = 0;
    {
        std::stringstream ss(line);
        std::string c;
        while (std::getline(ss, c, '\t')) {
            if (c == "Orientation")
                column = i;
            ++i;
        }
    }
    ASSERT_GE(column, 0);
    int turned = 0, files = 0;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream ss(line);
        std::string c;
        while (std::getline(ss, c, '\t'))
            f.push_back(c);
        ASSERT_GT(f.size(), size_t(column));
        SCOPED_TRACE(f[0]);
        const int expected = f[size_t(column)] == "-" ? 1 : std::stoi(f[size_t(column)]);
        EXPECT_EQ(Orientation::read(kamelo::test::testDataFile("camera/" + f[0])), expected);
        turned += expected != 1;
        ++files;
    }
    EXPECT_GE(files, 35);
    EXPECT_EQ(turned, 6); // one 3, four 6, one 8
}

// The JPEG reader of the program gives what the metadata library reads as
// Exif.Image.Orientation, for every JPEG of the samples (broken ones too).
TEST(Orientation, JpegsReadAsTheMetadataLibraryReadsThem) {
    KAMELO_REQUIRE_TESTDATA();
    int jpegs = 0;
    for (const auto& e :
         std::filesystem::recursive_directory_iterator(kamelo::test::testDataFile(""))) {
        const std::string path = e.path().string();
        std::vector<uint8_t> head(2);
        std::ifstream in(path, std::ios::binary);
        if (!e.is_regular_file() || !in.read(reinterpret_cast<char*>(head.data()), 2) ||
            head[0] != 0xFF || head[1] != 0xD8)
            continue;
        std::vector<uint8_t> bytes;
        FileComments::read(path, comment::kOrientation, bytes);
        EXPECT_EQ(Orientation::read(path), Orientation::fromBytes(bytes)) << path;
        ++jpegs;
    }
    EXPECT_GE(jpegs, 50);
}

TEST(Orientation, ReadOfMissingOrBrokenFilesIsUpright) {
    EXPECT_EQ(Orientation::read("/nonexistent/picture.jpg"), 1);
    KAMELO_REQUIRE_TESTDATA();
    for (const auto& e : std::filesystem::directory_iterator(kamelo::test::testDataFile("broken")))
        EXPECT_GE(Orientation::read(e.path().string()), 1) << e.path();
}

TEST(Orientation, OnlyRegularJpegFilesAreAsked) {
    kamelo::test::ScratchDir dir;
    // A pipe would block a reader: it is not opened at all.
    const std::string pipe = dir.file("pipe.jpg");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    alarm(30);
    EXPECT_EQ(Orientation::read(pipe), 1);
    alarm(0);
    EXPECT_EQ(Orientation::read(dir.path()), 1);
    // A TIFF carrying the tag: libtiff turns its rows itself, so it is not
    // turned a second time.
    const std::string tiff = dir.file("turned.tif");
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QImageWriter writer(QString::fromStdString(tiff), "tiff");
    writer.setTransformation(QImageIOHandler::TransformationRotate90);
    if (!writer.write(picture))
        GTEST_SKIP() << "no TIFF writer in this Qt";
    std::vector<uint8_t> tag;
    ASSERT_EQ(FileComments::read(tiff, comment::kOrientation, tag), 2);
    EXPECT_EQ(Orientation::fromBytes(tag), 6);
    EXPECT_EQ(Orientation::read(tiff), 1);
}

TEST(Orientation, UprightCameraPicturesHaveTheTurnedSize) {
    KAMELO_REQUIRE_TESTDATA();
    struct Case {
        const char* file;
        int orientation;
    };
    for (const Case c : {Case{"Apple iPhone 5.jpg", 3}, Case{"Nikon D40.jpg", 6},
                         Case{"Canon PowerShot A85.jpg", 8}}) {
        SCOPED_TRACE(c.file);
        const std::string path = kamelo::test::testDataFile(std::string("camera/") + c.file);
        ASSERT_EQ(Orientation::read(path), c.orientation);
        LoadOptions options;
        options.scaleDenominator = 8;
        Bitmap stored;
        ASSERT_GE(PictureFile::load(path, stored, options), 1);
        Bitmap upright = stored;
        ASSERT_EQ(Orientation::makeUpright(upright, c.orientation), result::kSuccess);
        const bool swap = c.orientation >= 5;
        EXPECT_EQ(upright.width(), swap ? stored.height() : stored.width());
        EXPECT_EQ(upright.height(), swap ? stored.width() : stored.height());
        // The stored top-left corner lands where the value says.
        const auto [ux, uy] = uprightPlace(c.orientation, 0, 0, stored.width(), stored.height());
        EXPECT_EQ(pixel(upright, ux, uy), pixel(stored, 0, 0));
    }
}
