#include "imaging/orientation.h"
#include "tests/cli/clirunner.h"
#include "tests/import/testcard.h"

#include <gtest/gtest.h>

#include <filesystem>

using kamelo::test::CliStreams;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;
namespace test = kamelo::test;

TEST(CliImport, ImportsACardByDateIntoANewFolderAndTurnsPicturesUpright) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const auto card = test::makeTestCard(dir.file("card"));
    const auto r =
        test::runCli(dir, {"import", card.root, dir.file("out/2024-01-02"), "--rule", "2"},
                     CliStreams::Out, 120);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("imported\t7\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("turned\t4\n"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(dir.file("out/2024-01-02/2008-05-30 15-56-01.JPG")));
    EXPECT_TRUE(fs::exists(dir.file("out/2024-01-02/DSCF0005.JPG")));
    EXPECT_EQ(
        kamelo::imaging::Orientation::read(dir.file("out/2024-01-02/2012-09-29 16-11-25.JPG")), 1);
    EXPECT_FALSE(fs::exists(dir.file("out/2024-01-02/readme.txt")));
    for (const std::string& s : card.listed)
        EXPECT_TRUE(fs::exists(s));
}

TEST(CliImport, GroupNamesDeleteSourceAndClashChoices) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const auto card = test::makeTestCard(dir.file("card"));
    test::writeBytes(dir.file("out/G 000.JPG"), {'o', 'l', 'd'});
    const auto skip = test::runCli(dir,
                                   {"import", card.root, dir.file("out"), "--rule", "1", "--group",
                                    "G", "--no-rotate", "--clash", "skip", "--delete-source"},
                                   CliStreams::Out, 120);
    EXPECT_EQ(skip.code, 0) << skip.out;
    EXPECT_NE(skip.out.find("skipped\t1\n"), std::string::npos) << skip.out;
    EXPECT_NE(skip.out.find("deleted\t6\n"), std::string::npos) << skip.out;
    EXPECT_EQ(test::readBytes(dir.file("out/G 000.JPG")), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_TRUE(fs::exists(card.listed[0])); // skipped: kept on the card
    EXPECT_FALSE(fs::exists(card.listed[1]));
    EXPECT_TRUE(fs::exists(dir.file("out/G 006.JPG")));

    // Stop at the first clash: nothing more is copied and the run fails.
    const auto stop = test::runCli(
        dir,
        {"import", card.root, dir.file("out"), "--rule", "1", "--group", "G", "--clash", "stop"},
        CliStreams::Both, 120);
    EXPECT_EQ(stop.code, 1) << stop.out;
    EXPECT_NE(stop.out.find("imported\t0\n"), std::string::npos) << stop.out;
}

TEST(CliImport, WrongCallsPrintTheUsage) {
    ScratchDir dir;
    for (const std::vector<std::string>& args : {std::vector<std::string>{"import"},
                                                 {"import", "a"},
                                                 {"import", "a", "b", "--rule", "3"},
                                                 {"import", "a", "b", "--clash", "ask"},
                                                 {"import", "a", "b", "--group", "x/y"},
                                                 {"import", "a", "b", "--date-format", "2"},
                                                 {"import", "a", "b", "--what"}}) {
        const auto r = test::runCli(dir, args, CliStreams::Errors, 30);
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.out.find("kamelo-cli import SRC DEST"), std::string::npos) << r.out;
    }
    fs::create_directories(dir.file("empty"));
    const auto none =
        test::runCli(dir, {"import", dir.file("empty"), dir.file("out")}, CliStreams::Errors, 30);
    EXPECT_EQ(none.code, 1);
    EXPECT_NE(none.out.find("이 장치에 저장된 그림,동영상 파일이 없습니다."), std::string::npos);
}
