#include "imaging/orientation.h"
#include "tests/cli/clirunner.h"
#include "tests/import/testcard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

std::multiset<std::vector<uint8_t>> contents(const std::string& folder) {
    std::multiset<std::vector<uint8_t>> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.is_regular_file())
            out.insert(test::readBytes(e.path().string()));
    return out;
}

} // namespace

TEST(CliImport, ImportsIntoTheSourceFolderOrALinkToItKeepEveryPhoto) {
    // Sorted, the group rule names a.jpg "x 000.jpg" and "x 000.jpg" "x 002.jpg":
    // both names of sources not yet copied.
    const std::vector<std::string> names{"a.jpg", "b.jpg", "x 000.jpg", "x 002.jpg"};
    for (const char* clash : {"rename", "skip", "overwrite", "stop"}) {
        for (const char* rule : {"0", "1"}) {
            for (const bool throughLink : {false, true}) {
                SCOPED_TRACE(std::string(clash) + ", rule " + rule +
                             (throughLink ? ", through a link" : ""));
                ScratchDir dir;
                const std::string source = dir.file("A");
                for (size_t i = 0; i < names.size(); ++i)
                    test::writeBytes(source + "/" + names[i],
                                     std::vector<uint8_t>(1000 + i * 7, uint8_t('a' + i)));
                fs::create_directory_symlink(source, dir.file("L"));
                const auto before = contents(source);
                const auto r =
                    test::runCli(dir,
                                 {"import", source, throughLink ? dir.file("L") : source, "--rule",
                                  rule, "--group", "x", "--clash", clash, "--delete-source"},
                                 CliStreams::Both, 120);
                const bool stops = std::string(clash) == "stop" && std::string(rule) == "1";
                EXPECT_EQ(r.code, stops ? 1 : 0) << r.out;
                EXPECT_EQ(contents(source), before) << r.out;
                EXPECT_TRUE(test::leftoverTemps(source).empty());
                if (std::string(rule) == "0") {
                    EXPECT_NE(r.out.find("원본 파일 자신이라 쓰지도 지우지도 않았습니다."),
                              std::string::npos)
                        << r.out;
                }
                if (std::string(clash) == "overwrite" && std::string(rule) == "1") {
                    EXPECT_NE(r.out.find("덮어쓰지 않고 '_x 000.jpg'(으)로 가져왔습니다."),
                              std::string::npos)
                        << r.out;
                }
            }
        }
    }
}

TEST(CliImport, EveryWriteIntoAFolderRemovesOnlyItsOwnStaleTemporaryFiles) {
    KAMELO_REQUIRE_TESTDATA();
    const std::vector<std::string> stale{".kamelo-save-AbC123", ".old.jpg.kamelo-77",
                                         ".kamelo-copy-Zz9Zz9", ".kamelo-rename-journal-q1W2e3"};
    const std::vector<std::string> kept{".kamelo-save-foreign", "keep.jpg.kamelo-1", "other.jpg"};
    // Each command writes into out, where photo.jpg is a camera picture.
    const struct {
        const char* what;
        std::vector<std::string> args;
    } rows[] = {
        {"an import", {"import", "CARD", "OUT"}},
        {"a batch edit in place", {"rotate", "--right", "OUT/photo.jpg"}},
        {"a batch rename", {"rename", "x#", "OUT/photo.jpg"}},
        {"a single save", {"resave", "OUT/photo.jpg", "OUT/photo.png"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScratchDir dir;
        test::writeBytes(dir.file("card/p.jpg"), std::vector<uint8_t>(500, 'p'));
        const std::string out = dir.file("out");
        test::copySample("Canon_40D.jpg", out + "/photo.jpg");
        for (const std::string& n : stale)
            test::writeBytes(out + "/" + n, {'t'});
        for (const std::string& n : kept)
            test::writeBytes(out + "/" + n, {'k'});
        fs::create_directory(out + "/.kamelo-save-dir123");
        fs::create_symlink(out + "/other.jpg", out + "/.kamelo-copy-lnk123");
        // The files must look older than the run: wait for the clock the
        // file system stamps with to pass them.
        struct stat st {};
        ASSERT_EQ(::stat((out + "/" + stale.back()).c_str(), &st), 0);
        for (struct timespec now{};
             ::clock_gettime(CLOCK_REALTIME_COARSE, &now) == 0 &&
             (now.tv_sec < st.st_ctim.tv_sec ||
              (now.tv_sec == st.st_ctim.tv_sec && now.tv_nsec <= st.st_ctim.tv_nsec));)
            ::usleep(1000);

        std::vector<std::string> args;
        for (std::string a : row.args) {
            if (a.rfind("CARD", 0) == 0)
                a = dir.file("card") + a.substr(4);
            if (a.rfind("OUT", 0) == 0)
                a = out + a.substr(3);
            args.push_back(a);
        }
        const auto r = test::runCli(dir, args, CliStreams::Both, 60);
        EXPECT_EQ(r.code, 0) << r.out;
        for (const std::string& n : stale)
            EXPECT_FALSE(fs::exists(out + "/" + n)) << n;
        for (const std::string& n : kept)
            EXPECT_TRUE(fs::exists(out + "/" + n)) << n;
        EXPECT_TRUE(fs::is_directory(out + "/.kamelo-save-dir123"));
        EXPECT_TRUE(fs::is_symlink(out + "/.kamelo-copy-lnk123"));
    }
}
