// kamelo-cli import from a folder shown as a camera ("disk:" port), and
// the messages of a source that is not there.
#include "tests/cli/clirunner.h"
#include "tests/import/testcard.h"

#include <gtest/gtest.h>

#include <filesystem>

using kamelo::test::CliStreams;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;
namespace test = kamelo::test;

TEST(CliCameraImport, ImportsFromTheCameraAtAPortThenSkipsWhatIsAlreadyThere) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const auto card = test::makeTestCard(dir.file("card"));
    const std::string port = "disk:" + card.root;
    const auto first = test::runCli(dir,
                                    {"import", "--camera", port, dir.file("out"), "--rule", "2",
                                     "--no-rotate", "--delete-source"},
                                    CliStreams::Out, 120);
    EXPECT_EQ(first.code, 0) << first.out;
    EXPECT_NE(first.out.find("imported\t7\n"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("deleted\t7\n"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("/DCIM/101CANON/IMG_0001.JPG -> "), std::string::npos) << first.out;
    EXPECT_TRUE(fs::exists(dir.file("out/2008-05-30 15-56-01.JPG")));
    for (const std::string& f : card.listed)
        EXPECT_FALSE(fs::exists(f)) << f;

    // The same photos again, from a card that still holds them.
    const auto again = test::makeTestCard(dir.file("card2"));
    const auto second = test::runCli(dir,
                                     {"import", "--camera", "disk:" + again.root, dir.file("out"),
                                      "--rule", "2", "--skip-imported"},
                                     CliStreams::Out, 120);
    EXPECT_EQ(second.code, 0) << second.out;
    EXPECT_NE(second.out.find("already imported\t7\n"), std::string::npos) << second.out;
}

TEST(CliCameraImport, SaysWhatIsMissing) {
    ScratchDir dir;
    const struct {
        std::vector<std::string> args;
        std::string text;
    } rows[] = {
        {{"import", dir.file("nowhere"), dir.file("out")},
         "'" + dir.file("nowhere") + "' 폴더가 없습니다."},
        {{"import", "--camera", "disk:" + dir.file("nowhere"), dir.file("out")},
         "카메라를 열 수 없습니다."},
        {{"import", "--list-cameras", dir.file("out")}, "kamelo-cli import --list-cameras"},
    };
    for (const auto& row : rows) {
        const auto r = test::runCli(dir, row.args, CliStreams::Errors, 60);
        EXPECT_NE(r.code, 0);
        EXPECT_NE(r.out.find(row.text), std::string::npos) << r.out;
        EXPECT_FALSE(fs::exists(dir.file("out")));
    }
}
