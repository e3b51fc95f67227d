#include "browser/core/filedatetaken.h"
#include "browser/core/renamepattern.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace kamelo;

namespace {

// Runs a test body under a fixed time zone and puts the old one back.
class FixedZone {
public:
    explicit FixedZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            old_ = old, had_ = true;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~FixedZone() {
        if (had_)
            ::setenv("TZ", old_.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::string old_;
    bool had_ = false;
};

std::vector<std::string> names(const RenamePattern& p, const std::vector<std::string>& files,
                               std::optional<int64_t> date = std::nullopt) {
    std::vector<std::string> out;
    for (size_t i = 0; i < files.size(); ++i)
        out.push_back(p.name(i, files[i], date));
    return out;
}

// Seconds since 1970 of a UTC date and time.
int64_t utc(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    return int64_t(timegm(&tm));
}

} // namespace

TEST(RenamePattern, NumbersArePaddedToTheMaskOrKeptWhenLonger) {
    RenamePattern p;
    p.maskWidth = 3;
    p.start = 9;
    EXPECT_EQ(names(p, {"a.jpg", "b.jpg", "c.jpg"}),
              (std::vector<std::string>{"009.jpg", "010.jpg", "011.jpg"}));
    p.maskWidth = 1;
    EXPECT_EQ(names(p, {"a.jpg", "b.jpg", "c.jpg"}),
              (std::vector<std::string>{"9.jpg", "10.jpg", "11.jpg"}));
    // The start number itself counts as row 0.
    p.maskWidth = 2;
    p.start = 0;
    EXPECT_EQ(names(p, {"a.jpg", "b.jpg"}), (std::vector<std::string>{"00.jpg", "01.jpg"}));
    // Nine digits is the most; the number may still grow past them.
    p.maskWidth = RenamePattern::kMaxDigits;
    p.start = 999999999;
    EXPECT_EQ(p.name(0, "a.jpg", std::nullopt), "999999999.jpg");
    EXPECT_EQ(p.name(5, "a.jpg", std::nullopt), "1000000004.jpg");
}

TEST(RenamePattern, AnEmptyMaskLeavesTheNumberOut) {
    RenamePattern p;
    p.prefix = "trip";
    p.maskWidth = 0;
    p.start = 7;
    p.suffix = "_end";
    EXPECT_EQ(names(p, {"a.jpg", "b.jpg"}),
              (std::vector<std::string>{"trip_end.jpg", "trip_end.jpg"}));
    EXPECT_EQ(RenamePattern::numberText(7, 0), "");
    EXPECT_EQ(RenamePattern::numberText(7, -1), "");
}

TEST(RenamePattern, PrefixNumberDateSuffixAndExtensionInThatOrder) {
    FixedZone zone("KST-9");
    RenamePattern p;
    p.prefix = "p_";
    p.maskWidth = 2;
    p.start = 1;
    p.suffix = "_s";
    p.dateFormat = 2;
    EXPECT_EQ(p.name(0, "x.JPG", utc(2008, 5, 30, 6, 56, 1)), "p_012008-05-30_s.JPG");
}

TEST(RenamePattern, TheFourDateFormatsInLocalTime) {
    const int64_t t = utc(2008, 5, 30, 6, 56, 1);
    {
        FixedZone zone("KST-9");
        EXPECT_EQ(RenamePattern::dateText(t, 0), "2008-05-30 15-56-01");
        EXPECT_EQ(RenamePattern::dateText(t, 1), "2008_05_30 15_56_01");
        EXPECT_EQ(RenamePattern::dateText(t, 2), "2008-05-30");
        EXPECT_EQ(RenamePattern::dateText(t, 3), "2008_05_30");
        EXPECT_EQ(RenamePattern::dateText(t, 4), "");
        EXPECT_EQ(RenamePattern::dateText(t, -1), "");
        // Just before midnight UTC is the next day here.
        EXPECT_EQ(RenamePattern::dateText(utc(2003, 12, 31, 23, 59, 59), 0), "2004-01-01 08-59-59");
    }
    {
        FixedZone zone("UTC0");
        EXPECT_EQ(RenamePattern::dateText(t, 0), "2008-05-30 06-56-01");
        EXPECT_EQ(RenamePattern::dateText(t, 3), "2008_05_30");
    }
    EXPECT_STREQ(RenamePattern::dateFormatName(0), "YYYY-MM-DD HH-MM-SS");
    EXPECT_STREQ(RenamePattern::dateFormatName(1), "YYYY_MM_DD HH_MM_SS");
    EXPECT_STREQ(RenamePattern::dateFormatName(2), "YYYY-MM-DD");
    EXPECT_STREQ(RenamePattern::dateFormatName(3), "YYYY_MM_DD");
}

TEST(RenamePattern, APictureWithoutADateGetsNoDatePart) {
    RenamePattern p;
    p.prefix = "a";
    p.dateFormat = 0;
    EXPECT_EQ(p.name(3, "x.jpg", std::nullopt), "a03.jpg");
    // And no format selected means no date even when there is one.
    p.dateFormat = -1;
    EXPECT_EQ(p.name(3, "x.jpg", int64_t(1212130561)), "a03.jpg");
}

TEST(RenamePattern, TheOriginalExtensionIsKeptWithItsDot) {
    RenamePattern p;
    p.prefix = "n";
    EXPECT_EQ(p.name(0, "photo.jpeg", std::nullopt), "n00.jpeg");
    EXPECT_EQ(p.name(0, "archive.tar.GZ", std::nullopt), "n00.GZ");
    EXPECT_EQ(p.name(0, "README", std::nullopt), "n00");
    EXPECT_EQ(p.name(0, "trailing.", std::nullopt), "n00.");
    EXPECT_EQ(RenamePattern::extension(".hidden"), "");
    EXPECT_EQ(RenamePattern::extension("a.b.c"), ".c");
}

TEST(RenamePattern, HangulPrefixAndSuffixPassUnchanged) {
    RenamePattern p;
    p.prefix = "여행_";
    p.suffix = "_제주";
    p.start = 5;
    EXPECT_EQ(p.name(0, "사진.jpg", std::nullopt), "여행_05_제주.jpg");
    EXPECT_TRUE(RenamePattern::isAllowedText("여행_"));
}

TEST(RenamePattern, TheNineForbiddenCharactersAreRefused) {
    for (char c : std::string("\\/:*?\"<>|")) {
        SCOPED_TRACE(c);
        EXPECT_FALSE(RenamePattern::isAllowedText(std::string("ab") + c + "cd"));
    }
    EXPECT_FALSE(RenamePattern::isAllowedText("line\nbreak"));
    EXPECT_FALSE(RenamePattern::isAllowedText(std::string("nul\0x", 5)));
    EXPECT_TRUE(RenamePattern::isAllowedText("a b-c_d.e(1)[2]#~'!@$%^&+=,;"));
    EXPECT_TRUE(RenamePattern::isAllowedText(""));
}

TEST(RenamePattern, MaskAndStartNumberTakeAtMostNineDigits) {
    EXPECT_TRUE(RenamePattern::isValidMask(""));
    EXPECT_TRUE(RenamePattern::isValidMask("#########"));
    EXPECT_FALSE(RenamePattern::isValidMask("##########"));
    EXPECT_FALSE(RenamePattern::isValidMask("#1"));
    EXPECT_FALSE(RenamePattern::isValidMask("# "));
    uint32_t v = 77;
    EXPECT_TRUE(RenamePattern::parseStart("", v));
    EXPECT_EQ(v, 0u);
    EXPECT_TRUE(RenamePattern::parseStart("999999999", v));
    EXPECT_EQ(v, 999999999u);
    EXPECT_TRUE(RenamePattern::parseStart("007", v));
    EXPECT_EQ(v, 7u);
    v = 3;
    EXPECT_FALSE(RenamePattern::parseStart("1000000000", v));
    EXPECT_FALSE(RenamePattern::parseStart("4294967296", v));
    EXPECT_FALSE(RenamePattern::parseStart("-1", v));
    EXPECT_FALSE(RenamePattern::parseStart("1 2", v));
    EXPECT_EQ(v, 3u);
}

TEST(FileDateTaken, ReadsDateTimeOriginalAsLocalTime) {
    KAMELO_REQUIRE_TESTDATA();
    FixedZone zone("KST-9");
    // 2008:05:30 15:56:01 in the camera's (local) time.
    const auto t = FileDateTaken::read(test::testDataFile("camera/Canon_40D.jpg"));
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(RenamePattern::dateText(*t, 0), "2008-05-30 15-56-01");
    EXPECT_EQ(*t, utc(2008, 5, 30, 6, 56, 1));
}

TEST(FileDateTaken, NothingForFilesWithoutADate) {
    test::ScratchDir dir;
    test::writeFile(dir.file("empty.jpg"), "");
    test::writeFile(dir.file("text.jpg"), "not a picture at all");
    test::writeFile(dir.file("soi.jpg"), std::string("\xFF\xD8\xFF\xD9", 4));
    EXPECT_FALSE(FileDateTaken::read(dir.file("empty.jpg")));
    EXPECT_FALSE(FileDateTaken::read(dir.file("text.jpg")));
    EXPECT_FALSE(FileDateTaken::read(dir.file("soi.jpg")));
    EXPECT_FALSE(FileDateTaken::read(dir.file("missing.jpg")));
    EXPECT_FALSE(FileDateTaken::read(dir.path())); // a folder
    ASSERT_EQ(::mkfifo(dir.file("fifo.jpg").c_str(), 0600), 0);
    EXPECT_FALSE(FileDateTaken::read(dir.file("fifo.jpg"))); // and no hang
}

TEST(RenamePattern, ALinePatternSplitsIntoPrefixMaskDateAndSuffix) {
    using E = RenamePattern::ParseError;
    RenamePattern p;
    p.start = 4;
    ASSERT_EQ(RenamePattern::parse("trip_###[YYYY-MM-DD]_end", p), E::None);
    EXPECT_EQ(p.prefix, "trip_");
    EXPECT_EQ(p.maskWidth, 3);
    EXPECT_EQ(p.dateFormat, 2);
    EXPECT_EQ(p.suffix, "_end");
    EXPECT_EQ(p.start, 4u); // not the pattern's to change

    ASSERT_EQ(RenamePattern::parse("[YYYY-MM-DD HH-MM-SS]", p), E::None);
    EXPECT_EQ(p.prefix, "");
    EXPECT_EQ(p.maskWidth, 0);
    EXPECT_EQ(p.dateFormat, 0);
    EXPECT_EQ(p.suffix, "");
    ASSERT_EQ(RenamePattern::parse("a[YYYY_MM_DD HH_MM_SS]b", p), E::None);
    EXPECT_EQ(p.dateFormat, 1);
    EXPECT_EQ(p.prefix, "a");
    EXPECT_EQ(p.suffix, "b");
    ASSERT_EQ(RenamePattern::parse("##[YYYY_MM_DD]", p), E::None);
    EXPECT_EQ(p.maskWidth, 2);
    EXPECT_EQ(p.dateFormat, 3);
    // A bracket that names no format is text.
    ASSERT_EQ(RenamePattern::parse("[draft]##[x]", p), E::None);
    EXPECT_EQ(p.prefix, "[draft]");
    EXPECT_EQ(p.dateFormat, -1);
    EXPECT_EQ(p.suffix, "[x]");
    ASSERT_EQ(RenamePattern::parse("사진", p), E::None);
    EXPECT_EQ(p.prefix, "사진");
    EXPECT_EQ(p.maskWidth, 0);

    EXPECT_EQ(RenamePattern::parse("a##########", p), E::MaskTooLong);
    EXPECT_EQ(RenamePattern::parse("a##b#", p), E::TwoMasks);
    EXPECT_EQ(RenamePattern::parse("##[YYYY-MM-DD]x[YYYY_MM_DD]", p), E::MisplacedDate);
    EXPECT_EQ(RenamePattern::parse("a##_[YYYY-MM-DD]", p), E::MisplacedDate);
    EXPECT_EQ(RenamePattern::parse("a/##", p), E::Forbidden);
    EXPECT_EQ(RenamePattern::parse("##:x", p), E::Forbidden);
    EXPECT_EQ(p.prefix, "사진"); // a refused pattern changes nothing
}
