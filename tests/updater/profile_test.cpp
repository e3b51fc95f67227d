#include "tests/support/scratchdir.h"
#include "updater/profile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using vela::ProfileFile;

TEST(Profile, SectionsAndKeysIgnoreCaseAndBlanks) {
    ProfileFile p("[ General ]\r\n  File_Count =  12  \r\n[file_1]\nPathName=a\\b.dll\n");
    EXPECT_EQ(p.integer("GENERAL", "FILE_COUNT", 0), 12u);
    EXPECT_EQ(p.text("FILE_1", "PATHNAME"), "a\\b.dll");
    EXPECT_TRUE(p.hasSection("general"));
    EXPECT_FALSE(p.hasSection("FILE_2"));
}

TEST(Profile, MissingValuesGiveTheDefaults) {
    ProfileFile p("[A]\nKEY=1\nEMPTY=\nBARE\n");
    EXPECT_EQ(p.text("A", "NOPE", "dflt"), "dflt");
    EXPECT_EQ(p.text("B", "KEY", "dflt"), "dflt");
    EXPECT_EQ(p.integer("A", "NOPE", 7), 7u);
    EXPECT_EQ(p.integer("A", "EMPTY", 7), 7u);
    // A present key with an empty value is an empty text, not the default.
    EXPECT_EQ(p.text("A", "EMPTY", "dflt"), "");
    EXPECT_EQ(p.text("A", "BARE", "dflt"), "");
}

TEST(Profile, FirstSectionAndFirstKeyWin) {
    ProfileFile p("[S]\nK=first\nk=second\n[s]\nK=third\nOTHER=x\n");
    EXPECT_EQ(p.text("S", "K"), "first");
    // Keys of a later section of the same name are not seen.
    EXPECT_EQ(p.text("S", "OTHER", "none"), "none");
}

TEST(Profile, CommentsLinesBeforeSectionsAndQuotes) {
    ProfileFile p("KEY=orphan\n; [S]\n[S]\n;KEY=commented\nKEY=\"  quoted = value  \"\n"
                  "Q1='x'\nQ2=\"unbalanced\nINLINE=a ; not a comment\nEQ=a=b\n");
    EXPECT_EQ(p.text("S", "KEY"), "  quoted = value  ");
    EXPECT_EQ(p.text("S", "Q1"), "x");
    EXPECT_EQ(p.text("S", "Q2"), "\"unbalanced");
    EXPECT_EQ(p.text("S", "INLINE"), "a ; not a comment");
    EXPECT_EQ(p.text("S", "EQ"), "a=b");
}

TEST(Profile, ByteOrderMarkAndMissingBracketAndLastLineWithoutEnd) {
    ProfileFile p("\xEF\xBB\xBF[S]\nA=1\n[T\nB=2");
    EXPECT_EQ(p.text("S", "A"), "1");
    EXPECT_EQ(p.text("T", "B"), "2");
}

TEST(Profile, IntegersReadLikeTheProfileIntegerReader) {
    EXPECT_EQ(ProfileFile::parseInteger("42"), 42u);
    EXPECT_EQ(ProfileFile::parseInteger("  42abc"), 42u);
    EXPECT_EQ(ProfileFile::parseInteger("abc"), 0u);
    EXPECT_EQ(ProfileFile::parseInteger("+5"), 5u);
    EXPECT_EQ(ProfileFile::parseInteger("-1"), 0xFFFFFFFFu);
    // An unsigned CRC above 2^31 keeps its bits.
    EXPECT_EQ(ProfileFile::parseInteger("3735928559"), 0xDEADBEEFu);
    EXPECT_EQ(ProfileFile::parseInteger("4294967295"), 0xFFFFFFFFu);
    // Beyond 32 bits it wraps instead of failing.
    EXPECT_EQ(ProfileFile::parseInteger("4294967296"), 0u);
    EXPECT_EQ(ProfileFile::parseInteger("0x10"), 0u);
    EXPECT_EQ(ProfileFile::parseInteger(""), 0u);
}

TEST(Profile, TextsAreBoundedLikeTheReadBuffer) {
    std::string longValue(20000, 'x');
    ProfileFile p("[S]\nK=" + longValue + "\n");
    EXPECT_EQ(p.text("S", "K").size(), ProfileFile::kMaxTextBytes);
    // A cut never splits a UTF-8 character.
    std::string korean;
    while (korean.size() < 12000)
        korean += "가";
    ProfileFile k("[S]\nK=" + korean + "\n");
    std::string got = k.text("S", "K");
    EXPECT_LE(got.size(), ProfileFile::kMaxTextBytes);
    EXPECT_EQ(got.size() % 3, 0u);
}

TEST(Profile, LoadRefusesMissingSpecialAndOversizedFiles) {
    kamelo::test::ScratchDir dir;
    ProfileFile p;
    EXPECT_FALSE(p.load(dir.file("missing.ini")));
    EXPECT_FALSE(p.load(dir.path()));
    const std::string fifo = dir.file("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(p.load(fifo)); // would block if opened for reading
    kamelo::test::writeFile(dir.file("ok.ini"), "[GENERAL]\nFILE_COUNT=3\n");
    EXPECT_TRUE(p.load(dir.file("ok.ini")));
    EXPECT_EQ(p.integer("GENERAL", "FILE_COUNT", 0), 3u);
    std::string big(static_cast<size_t>(ProfileFile::kMaxFileBytes) + 1, ';');
    kamelo::test::writeFile(dir.file("big.ini"), big);
    EXPECT_FALSE(p.load(dir.file("big.ini")));
    EXPECT_FALSE(p.hasSection("GENERAL"));
}
