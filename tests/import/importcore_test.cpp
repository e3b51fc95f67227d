#include "import/core/acquireformats.h"
#include "import/core/acquirenaming.h"
#include "import/core/clashstate.h"
#include "import/core/contentsum.h"
#include "import/core/datecolumn.h"
#include "import/core/foldernamefilter.h"
#include "import/core/jpeghead.h"
#include "import/core/saveplaces.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <set>
#include <string>
#include <vector>

using namespace kamelo::acquire;

TEST(AcquireFormats, TakesTheTwentyFiveTypesAndThePhonesAndCamerasInAnyCase) {
    for (const char* e :
         {"jpg", "bmp", "jpeg", "tiff", "tif",  "tga", "png",  "wmf",  "pcx", "pcd", "emf",
          "ico", "cur", "dcx",  "gif",  "pct",  "iff", "psd",  "ras",  "sgi", "mov", "avi",
          "mpg", "asf", "mpeg", "heic", "heif", "hif", "avif", "webp", "jxl", "dng", "cr2",
          "cr3", "nef", "arw",  "orf",  "rw2",  "raf", "pef",  "srw"}) {
        EXPECT_TRUE(isAcceptedExtension(e)) << e;
        std::string upper = e;
        for (char& c : upper)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_TRUE(isAcceptedPath("/card/DCIM/X." + upper)) << upper;
    }
    for (const char* p : {"/card/a.txt", "/card/a.mp4", "/card/jpg", "/card/.jpg",
                          "/card/a.jpg.tmp", "/card/a.", "/card/a.jp"})
        EXPECT_FALSE(isAcceptedPath(p)) << p;
    EXPECT_TRUE(isMoviePath("/c/M.MOV"));
    EXPECT_TRUE(isMoviePath("/c/m.mpeg"));
    EXPECT_FALSE(isMoviePath("/c/m.jpg"));
    EXPECT_FALSE(isMoviePath("/c/m.heic"));
}

TEST(AcquireFormats, SplitsNameTitleAndExtension) {
    EXPECT_EQ(fileName("/a/b/IMG_0001.JPG"), "IMG_0001.JPG");
    EXPECT_EQ(fileTitle("/a/b/IMG_0001.JPG"), "IMG_0001");
    EXPECT_EQ(fileExtension("/a/b/IMG_0001.JPG"), ".JPG");
    EXPECT_EQ(fileTitle("/a/b.c/noext"), "noext");
    EXPECT_EQ(fileExtension("/a/b.c/noext"), "");
    EXPECT_EQ(fileTitle("/a/.hidden"), ".hidden");
    EXPECT_EQ(fileExtension("/a/x.tar.gz"), ".gz");
}

TEST(AcquireNaming, GroupNameNumbersFromZeroWithThreeDigitsAndKeepsEachExtension) {
    NamingOptions o;
    o.rule = NameRule::GroupName;
    o.groupName = "2004-05-01";
    EXPECT_EQ(destinationName(o, 0, "/c/DCIM/IMG_1.jpg", ""), "2004-05-01 000.jpg");
    EXPECT_EQ(destinationName(o, 1, "/c/DCIM/IMG_2.jpg", ""), "2004-05-01 001.jpg");
    EXPECT_EQ(destinationName(o, 2, "/c/DCIM/MVI_3.avi", ""), "2004-05-01 002.avi");
    EXPECT_EQ(destinationName(o, 999, "/c/x.JPG", ""), "2004-05-01 999.JPG");
    EXPECT_EQ(destinationName(o, 1000, "/c/x.JPG", ""), "2004-05-01 1000.JPG");
}

TEST(AcquireNaming, KeepNameKeepsTheSourceName) {
    NamingOptions o;
    EXPECT_EQ(destinationName(o, 7, "/c/DCIM/100CANON/IMG_0001.JPG", "2004:05:01 13:05:09"),
              "IMG_0001.JPG");
}

TEST(AcquireNaming, DateTakenInBothForms) {
    NamingOptions o;
    o.rule = NameRule::DateTaken;
    EXPECT_EQ(destinationName(o, 0, "/c/IMG_0001.jpg", "2004:05:01 13:05:09"),
              "2004-05-01 13-05-09.jpg");
    o.dateForm = DateForm::Underscores;
    EXPECT_EQ(destinationName(o, 0, "/c/IMG_0001.jpg", "2004:05:01 13:05:09"),
              "2004_05_01 13_05_09.jpg");
}

TEST(AcquireNaming, BlankOrInvalidDateKeepsTheTitle) {
    NamingOptions o;
    o.rule = NameRule::DateTaken;
    // The blank date a FujiFilm SP-2500 writes, and other broken ones.
    for (const char* d : {"    :  :     :  :  ", "", "2004:05:01 13:05", "2004:02:30 10:00:00",
                          "2004:13:01 10:00:00", "2004:05:01 24:00:00", "2004-05-01 13:05:09",
                          "2004:05:01 13:05:09 ", "0000:00:00 00:00:00"})
        EXPECT_EQ(destinationName(o, 0, "/c/DSCF0001.JPG", d), "DSCF0001.JPG") << d;
    // Movies have no EXIF date and keep their title too.
    EXPECT_EQ(destinationName(o, 3, "/c/MVI_0001.MOV", ""), "MVI_0001.MOV");
}

TEST(AcquireNaming, DayStamp) {
    EXPECT_EQ(dayStamp(2004, 5, 1), "2004-05-01");
    EXPECT_EQ(dayStamp(2026, 12, 31), "2026-12-31");
    EXPECT_EQ(todayStamp().size(), 10u);
}

class FixedZone : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        saved_ = tz ? std::optional<std::string>(tz) : std::nullopt;
        setenv("TZ", "Asia/Seoul", 1);
        tzset();
    }
    void TearDown() override {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::optional<std::string> saved_;
};

TEST_F(FixedZone, DateColumnUsesTwelveHourClockWithNoonAndMidnightAsZero) {
    EXPECT_EQ(dateColumnText(2004, 5, 1, 12, 30), "2004-05-01 오후 00:30");
    EXPECT_EQ(dateColumnText(2004, 5, 1, 0, 5), "2004-05-01 오전 00:05");
    EXPECT_EQ(dateColumnText(2004, 5, 1, 11, 59), "2004-05-01 오전 11:59");
    EXPECT_EQ(dateColumnText(2004, 5, 1, 23, 1), "2004-05-01 오후 11:01");
    // 2004-05-01 12:30 and 00:05 in Seoul (UTC+9) as file times.
    EXPECT_EQ(dateColumnText(std::time_t(1083382200)), "2004-05-01 오후 00:30");
    EXPECT_EQ(dateColumnText(std::time_t(1083337500)), "2004-05-01 오전 00:05");
}

TEST(FolderNameFilter, RefusesTheNineCharacters) {
    for (char32_t c : {U'\\', U'/', U':', U'*', U'?', U'"', U'<', U'>', U'|'})
        EXPECT_TRUE(isRefusedNameChar(c));
    for (char32_t c : {U'a', U'-', U' ', U'_', U'.', U'가'})
        EXPECT_FALSE(isRefusedNameChar(c));
    EXPECT_EQ(withoutRefusedChars("a\\b/c:d*e?f\"g<h>i|j"), "abcdefghij");
    EXPECT_EQ(withoutRefusedChars("여름 휴가/2004"), "여름 휴가2004");
    EXPECT_TRUE(hasRefusedChars("x?"));
    EXPECT_FALSE(hasRefusedChars("2004-05-01 제주"));
}

TEST(SavePlaces, KeyNames) {
    EXPECT_EQ(lastSaveFolderKey(0), "Last save folder0");
    EXPECT_EQ(lastSaveFolderKey(2), "Last save folder2");
    EXPECT_STREQ(kSection, "Aquire Wizard");
}

TEST(SavePlaces, PicturesFolderFirstOnlyWhenTheNewestIsBlank) {
    EXPECT_EQ(destinationList({"", "", ""}, "/home/u/Pictures"),
              (std::vector<std::string>{"/home/u/Pictures"}));
    EXPECT_EQ(destinationList({"/a", "/b", "/c"}, "/home/u/Pictures"),
              (std::vector<std::string>{"/a", "/b", "/c"}));
    EXPECT_EQ(destinationList({"", "/b", "/b"}, "/p"), (std::vector<std::string>{"/p", "/b"}));
}

TEST(SavePlaces, ChosenFolderFirstThenTheOthersInListOrder) {
    const std::vector<std::string> list = {"/a", "/b", "/c"};
    EXPECT_EQ(foldersToStore("/new", list), (std::array<std::string, 3>{"/new", "/a", "/b"}));
    EXPECT_EQ(foldersToStore("/b", list), (std::array<std::string, 3>{"/b", "/a", "/c"}));
    EXPECT_EQ(foldersToStore("/a", list), (std::array<std::string, 3>{"/a", "/b", "/c"}));
    EXPECT_EQ(foldersToStore("/a", {"/a"}), (std::array<std::string, 3>{"/a", "", ""}));
    // Stored, read back and chosen again: the order holds.
    const auto stored = foldersToStore("/c", list);
    EXPECT_EQ(destinationList(stored, "/p"), (std::vector<std::string>{"/c", "/a", "/b"}));
}

namespace {
struct FakeDisk {
    std::set<std::string> files;
    ClashState::Exists exists() {
        return [this](const std::string& p) { return files.count(p) != 0; };
    }
};
} // namespace

TEST(ClashState, FreeNameAddsUnderscoresBeforeTheTitle) {
    FakeDisk d;
    d.files = {"/d/IMG.JPG", "/d/_IMG.JPG"};
    EXPECT_EQ(ClashState::freeName("/d/IMG.JPG", d.exists()), "/d/__IMG.JPG");
    EXPECT_EQ(ClashState::freeName("/d/NEW.JPG", d.exists()), "/d/NEW.JPG");
}

TEST(ClashState, AskedOnceAndTheAnswerHolds) {
    for (ClashChoice choice :
         {ClashChoice::Rename, ClashChoice::Skip, ClashChoice::Overwrite, ClashChoice::Stop}) {
        FakeDisk d;
        d.files = {"/d/A.JPG", "/d/B.JPG"};
        ClashState s;
        int asked = 0;
        auto ask = [&](const std::string&) {
            ++asked;
            return choice;
        };
        const auto a = s.resolve("/d/A.JPG", d.exists(), ask);
        const auto b = s.resolve("/d/B.JPG", d.exists(), ask);
        EXPECT_EQ(asked, 1);
        const auto free = s.resolve("/d/C.JPG", d.exists(), ask);
        EXPECT_EQ(free.action, ClashState::Action::Write);
        EXPECT_EQ(free.path, "/d/C.JPG");
        switch (choice) {
        case ClashChoice::Rename:
            EXPECT_EQ(a.action, ClashState::Action::Write);
            EXPECT_EQ(a.path, "/d/_A.JPG");
            EXPECT_EQ(b.path, "/d/_B.JPG");
            break;
        case ClashChoice::Skip:
            EXPECT_EQ(a.action, ClashState::Action::Skip);
            EXPECT_EQ(b.action, ClashState::Action::Skip);
            break;
        case ClashChoice::Overwrite:
            EXPECT_EQ(a.action, ClashState::Action::Replace);
            EXPECT_EQ(a.path, "/d/A.JPG");
            break;
        case ClashChoice::Stop:
            EXPECT_EQ(a.action, ClashState::Action::Stop);
            break;
        }
    }
}

TEST(ClashState, AFileOfThisRunIsNeverOverwritten) {
    FakeDisk d;
    ClashState s;
    int asked = 0;
    auto ask = [&](const std::string&) {
        ++asked;
        return ClashChoice::Overwrite;
    };
    // DCIM/100CANON/IMG_0001.JPG, then DCIM/101CANON/IMG_0001.JPG.
    auto first = s.resolve("/d/IMG_0001.JPG", d.exists(), ask);
    EXPECT_EQ(first.action, ClashState::Action::Write);
    d.files.insert(first.path);
    s.noteWritten(first.path);
    auto second = s.resolve("/d/IMG_0001.JPG", d.exists(), ask);
    EXPECT_EQ(second.action, ClashState::Action::Write);
    EXPECT_EQ(second.path, "/d/_IMG_0001.JPG");
    EXPECT_EQ(asked, 0);
    // A file there before the run is still overwritten when asked so, once.
    d.files.insert("/d/OLD.JPG");
    auto old = s.resolve("/d/OLD.JPG", d.exists(), ask);
    EXPECT_EQ(old.action, ClashState::Action::Replace);
    s.noteWritten("/d/OLD.JPG");
    auto again = s.resolve("/d/OLD.JPG", d.exists(), ask);
    EXPECT_EQ(again.action, ClashState::Action::Write);
    EXPECT_EQ(again.path, "/d/_OLD.JPG");
    EXPECT_EQ(asked, 1);
}

TEST(ContentSum, SameWhateverThePiecesAndSensitiveToChanges) {
    std::vector<uint8_t> data(1000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 31 + 7);
    ContentSum whole;
    whole.add(data.data(), data.size());
    for (size_t piece : {1u, 3u, 7u, 8u, 9u, 64u, 999u}) {
        ContentSum parts;
        for (size_t at = 0; at < data.size(); at += piece)
            parts.add(data.data() + at, std::min(piece, data.size() - at));
        EXPECT_EQ(parts.value(), whole.value()) << piece;
        EXPECT_EQ(parts.bytes(), 1000u);
    }
    for (size_t at : {0u, 7u, 8u, 500u, 999u}) {
        std::vector<uint8_t> changed = data;
        changed[at] ^= 1;
        ContentSum c;
        c.add(changed.data(), changed.size());
        EXPECT_NE(c.value(), whole.value()) << at;
    }
    ContentSum shorter;
    shorter.add(data.data(), 999);
    EXPECT_NE(shorter.value(), whole.value());
    std::vector<uint8_t> zeros(16, 0);
    ContentSum z8, z16;
    z8.add(zeros.data(), 8);
    z16.add(zeros.data(), 16);
    EXPECT_NE(z8.value(), z16.value());
}

TEST(JpegHead, EndsAtTheScanHeaderAndAsksForWhatACutSegmentNeeds) {
    // SOI, fill byte, APP1 of 100 bytes at 3, DQT of 10 at 105, SOS of 12 at
    // 117, scan data after 131.
    std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xFF, 0xE1, 0, 100};
    jpeg.resize(105, 'x');
    for (uint8_t b : {0xFF, 0xDB, 0, 8})
        jpeg.push_back(b);
    jpeg.resize(115, 'q');
    for (uint8_t b : {0xFF, 0xD0, 0xFF, 0xDA, 0, 12}) // a stray restart marker too
        jpeg.push_back(b);
    jpeg.resize(200, 's');
    struct Row {
        size_t have, limit, want;
    } rows[] = {
        {200, 1000, 131},                  // all there: up to the end of the scan header
        {131, 1000, 131}, {50, 1000, 105}, // cut in the APP1: its end
        {106, 1000, 109},                  // cut in the next marker: its length first
        {109, 1000, 115}, {104, 1000, 105},
        {4, 1000, 6},     {6, 1000, 7}, // the fill byte passed, the APP1's length asked
        {50, 80, 80},                   // never past the limit
        {1, 1000, 2},
    };
    for (const Row& r : rows)
        EXPECT_EQ(jpegHeadBytes(jpeg.data(), r.have, r.limit), r.want) << r.have;
    const uint8_t png[] = {0x89, 'P', 'N', 'G'}, broken[] = {0xFF, 0xD8, 0x00, 0x11, 0, 0};
    EXPECT_EQ(jpegHeadBytes(png, 4, 1000), 0u);
    EXPECT_EQ(jpegHeadBytes(broken, 6, 1000), 2u); // no marker where one must be
    const uint8_t ended[] = {0xFF, 0xD8, 0xFF, 0xD9, 0, 0};
    EXPECT_EQ(jpegHeadBytes(ended, 6, 1000), 4u);
}
