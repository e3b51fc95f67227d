#include "imaging/filecomments.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

using namespace kamelo::imaging;

namespace {

// camera/EXPECTED.tsv rows by file name, columns by header name.
std::map<std::string, std::map<std::string, std::string>> cameraRows() {
    std::map<std::string, std::map<std::string, std::string>> rows;
    std::ifstream in(kamelo::test::testDataFile("camera/EXPECTED.tsv"));
    std::string line;
    std::vector<std::string> header;
    auto split = [](const std::string& l) {
        std::vector<std::string> f;
        std::stringstream ss(l);
        std::string c;
        while (std::getline(ss, c, '\t'))
            f.push_back(c);
        return f;
    };
    std::getline(in, line);
    header = split(line);
    while (std::getline(in, line)) {
        auto f = split(line);
        for (size_t i = 0; i < f.size() && i < header.size(); ++i)
            rows[f[0]][header[i]] = f[i];
    }
    return rows;
}

} // namespace

TEST(Stamp, CameraFilesWithAThumbnailGiveOneAndOthersSayNone) {
    KAMELO_REQUIRE_TESTDATA();
    const auto rows = cameraRows();
    ASSERT_GE(rows.size(), 35u);
    int withStamp = 0;
    for (const auto& [file, cols] : rows) {
        SCOPED_TRACE(file);
        Bitmap stamp;
        const int rc = PictureFile::readStamp(kamelo::test::testDataFile("camera/" + file), stamp);
        const std::string length = cols.at("ThumbnailLength");
        if (length != "-" && length != "0") {
            ASSERT_GE(rc, 1) << resultText(rc);
            EXPECT_GT(stamp.width(), 0);
            EXPECT_LE(stamp.width(), 640); // a thumbnail, not the picture
            ++withStamp;
        } else {
            EXPECT_EQ(rc, result::kNoStamp);
        }
    }
    EXPECT_EQ(withStamp, 27);
}

TEST(Comments, CaptureDateMakeAndModelAreTheFilesOwnText) {
    KAMELO_REQUIRE_TESTDATA();
    for (const auto& [file, cols] : cameraRows()) {
        SCOPED_TRACE(file);
        const std::string path = kamelo::test::testDataFile("camera/" + file);
        const std::string taken = cols.at("DateTimeOriginal");
        EXPECT_EQ(FileComments::text(path, comment::kDateTimeOriginal), taken == "-" ? "" : taken);
        const std::string make = cols.at("Make");
        std::string ours = FileComments::text(path, comment::kMake);
        while (!ours.empty() && ours.back() == ' ')
            ours.pop_back(); // the other tool trims padding
        EXPECT_EQ(ours, make == "-" ? "" : make);
    }
}

TEST(Comments, NumbersComeAsRationalsAndShortsInMachineOrder) {
    KAMELO_REQUIRE_TESTDATA();
    const std::string path = kamelo::test::testDataFile("camera/Canon_40D.jpg");
    std::vector<uint8_t> bytes;
    ASSERT_EQ(FileComments::read(path, comment::kExposureTime, bytes), 8);
    uint32_t num, den;
    std::memcpy(&num, bytes.data(), 4);
    std::memcpy(&den, bytes.data() + 4, 4);
    EXPECT_NEAR(double(num) / den, 1.0 / 160, 1e-9);
    ASSERT_GE(FileComments::read(path, comment::kIsoSpeed, bytes), 2);
    int16_t iso;
    std::memcpy(&iso, bytes.data(), 2);
    EXPECT_EQ(iso, 100);
    ASSERT_EQ(FileComments::read(path, comment::kExifVersion, bytes), 4);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0221");
    // A file without EXIF has no comments at all.
    EXPECT_EQ(FileComments::read(kamelo::test::testDataFile("camera/olympus-d320l.jpg"),
                                 comment::kMake, bytes),
              0);
    EXPECT_EQ(FileComments::read(path, 9999, bytes), result::kInvalidParameter);
}

TEST(Comments, ReadingManyTypesAtOnceGivesWhatEachReadGives) {
    KAMELO_REQUIRE_TESTDATA();
    const std::string path = kamelo::test::testDataFile("camera/Canon_40D.jpg");
    const std::vector<int> types = {5, 6, 2, 22, 9, 34, 162, 25, 33, 35, 21, 999};
    const auto many = FileComments::readMany(path, types);
    EXPECT_FALSE(many.count(999)); // not a comment type
    for (int type : types) {
        std::vector<uint8_t> one;
        const int n = FileComments::read(path, type, one);
        if (n > 0) {
            ASSERT_TRUE(many.count(type)) << type;
            EXPECT_EQ(many.at(type), one) << type;
        } else {
            EXPECT_FALSE(many.count(type)) << type;
        }
    }
    EXPECT_TRUE(FileComments::readMany("/nonexistent.jpg", types).empty());
}
