#include "tests/cli/clirunner.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using namespace kamelo::test;
namespace fs = std::filesystem;

namespace {

void make(const ScratchDir& dir, const std::vector<std::string>& names) {
    for (const std::string& n : names)
        writeFile(dir.file("p/" + n), "was " + n);
}

std::map<std::string, std::string> files(const ScratchDir& dir) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(dir.file("p")))
        out[e.path().filename().string()] = readFile(e.path().string());
    return out;
}

} // namespace

TEST(CliRename, DryRunPrintsTheNewNamesAndRenamesNothing) {
    ScratchDir dir;
    make(dir, {"b.jpg", "a.jpeg", "c"});
    const auto before = files(dir);
    const CliResult r = cli(dir, {"rename", "--dry-run", "--start", "9", "trip_###_x",
                                  dir.file("p/b.jpg"), dir.file("p/a.jpeg"), dir.file("p/c")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, dir.file("p/b.jpg") + " -> " + dir.file("p/trip_009_x.jpg") + "\n" +
                         dir.file("p/a.jpeg") + " -> " + dir.file("p/trip_010_x.jpeg") + "\n" +
                         dir.file("p/c") + " -> " + dir.file("p/trip_011_x") + "\n");
    EXPECT_EQ(files(dir), before);
}

TEST(CliRename, RenamesForRealIncludingASwap) {
    ScratchDir dir;
    make(dir, {"0.jpg", "1.jpg", "2.jpg"});
    // 1 -> 0, 2 -> 1, 0 -> 2: a cycle through all three.
    const CliResult r =
        cli(dir, {"rename", "#", dir.file("p/1.jpg"), dir.file("p/2.jpg"), dir.file("p/0.jpg")});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(files(dir),
              (std::map<std::string, std::string>{
                  {"0.jpg", "was 1.jpg"}, {"1.jpg", "was 2.jpg"}, {"2.jpg", "was 0.jpg"}}));
}

TEST(CliRename, ARefusedPlanExitsWithOneAndRenamesNothing) {
    ScratchDir dir;
    make(dir, {"a.jpg", "b.jpg", "taken.jpg"});
    const auto before = files(dir);
    // No number: both would be "same.jpg".
    CliResult r =
        runCli(dir, {"rename", "same", dir.file("p/a.jpg"), dir.file("p/b.jpg")}, CliStreams::Both);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find(dir.file("p/a.jpg") + " -> " + dir.file("p/same.jpg") + ": "),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("다른 파일의 새 이름과 같습니다"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("아무 파일의 이름도 바꾸지 않았습니다."), std::string::npos);
    EXPECT_EQ(files(dir), before);
    // A file left alone holds the name; --dry-run refuses the same way.
    r = runCli(dir, {"rename", "--dry-run", "taken", dir.file("p/a.jpg")}, CliStreams::Both);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("같은 이름의 파일이 이미 있습니다"), std::string::npos) << r.out;
    // Nothing before the extension; a name over the limit.
    EXPECT_EQ(cli(dir, {"rename", "", dir.file("p/a.jpg")}).code, 1);
    EXPECT_EQ(cli(dir, {"rename", std::string(300, 'n'), dir.file("p/a.jpg")}).code, 1);
    EXPECT_EQ(cli(dir, {"rename", "x", dir.file("p/missing.jpg")}).code, 1);
    EXPECT_EQ(files(dir), before);
}

TEST(CliRename, BadPatternsAndOptionsAreUsageErrors) {
    ScratchDir dir;
    make(dir, {"a.jpg"});
    const auto before = files(dir);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"rename", "a/##", dir.file("p/a.jpg")},
          {"rename", "a##b##", dir.file("p/a.jpg")},
          {"rename", "##########", dir.file("p/a.jpg")},
          {"rename", "--start", "1000000000", "##", dir.file("p/a.jpg")},
          {"rename", "--start", "-1", "##", dir.file("p/a.jpg")},
          {"rename", "--bogus", "##", dir.file("p/a.jpg")},
          {"rename", "##"},
          {"rename"}}) {
        const CliResult r = runCli(dir, args, CliStreams::Errors);
        EXPECT_EQ(r.code, 2) << args.size();
        EXPECT_NE(r.out.find("kamelo-cli rename"), std::string::npos) << r.out;
    }
    EXPECT_EQ(files(dir), before);
}

TEST(CliRename, TheDateComesFromTheFile) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    fs::create_directories(dir.file("p"));
    fs::copy_file(testDataFile("camera/Canon_40D.jpg"), dir.file("p/canon.jpg"));
    writeFile(dir.file("p/plain.jpg"), "no date in here");
    // DateTimeOriginal 2008:05:30 15:56:01, written in local time.
    const CliResult r = cli(dir, {"rename", "--dry-run", "x_##[YYYY-MM-DD HH-MM-SS]_",
                                  dir.file("p/canon.jpg"), dir.file("p/plain.jpg")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, dir.file("p/canon.jpg") + " -> " + dir.file("p/x_002008-05-30 15-56-01_.jpg") +
                         "\n" + dir.file("p/plain.jpg") + " -> " + dir.file("p/x_01_.jpg") + "\n");
}
