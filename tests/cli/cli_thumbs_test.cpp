#include "base/settingsstore.h"
#include "browser/core/thumbarchive.h"
#include "browser/core/thumbimagelist.h"
#include "tests/cli/clirunner.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

using kamelo::test::cli;
using kamelo::test::CliResult;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;

namespace {

// Copies camera pictures (some with embedded thumbnails, one without).
std::string cameraFolder(const ScratchDir& dir) {
    const std::string f = dir.file("photos");
    fs::create_directories(f + "/sub");
    for (const char* n : {"Canon_40D.jpg", "Nikon_D70.jpg", "sony-d700.jpg"})
        fs::copy_file(kamelo::test::testDataFile(std::string("camera/") + n), f + "/" + n);
    kamelo::test::writeFile(f + "/notes.txt", "not a picture");
    return f;
}

} // namespace

TEST(KameloCliThumbs, MakesEveryThumbnailAndStoresTheFolderCache) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const std::string photos = cameraFolder(dir), cache = dir.file("cache");
    CliResult r = cli(dir, {"thumbs", photos, "--cache", cache});
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("pictures: 3\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("cache: " + cache + "/0\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("time: "), std::string::npos);

    std::vector<kamelo::CThumbData> records;
    ASSERT_TRUE(kamelo::ThumbArchive::readFile(cache + "/0.lis", records));
    ASSERT_EQ(records.size(), 5u); // "..", sub, three pictures
    EXPECT_EQ(records[0].displayName, "..");
    EXPECT_EQ(records[1].displayName, "sub");
    kamelo::ThumbImageList images;
    ASSERT_TRUE(kamelo::ThumbImageListFile::readFile(cache + "/0.cac", images));
    EXPECT_EQ(images.width, 120);
    EXPECT_EQ(images.height, 100);
    for (size_t i = 2; i < records.size(); ++i) {
        EXPECT_EQ(records[i].thumbnailDone, 1);
        EXPECT_LT(size_t(records[i].imageIndex), images.images.size());
        EXPECT_NE(records[i].pictureRect.left, INT32_MIN);
    }

    // Without stamps every picture is decoded; the next pair is written.
    r = cli(dir, {"thumbs", photos, "--no-stamp", "--cache", cache});
    ASSERT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("cache: " + cache + "/1\n"), std::string::npos) << r.out;

    r = cli(dir, {"cache", "show", photos, "--cache", cache});
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind("cache: " + cache + "/1\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("Canon_40D.jpg\t" + photos + "/Canon_40D.jpg\tfile"), std::string::npos);
    EXPECT_NE(r.out.find("..\t..\tfolder"), std::string::npos);
}

TEST(KameloCliThumbs, FoldersWithoutPicturesAndBadArguments) {
    ScratchDir dir;
    fs::create_directories(dir.file("empty/inner"));
    const std::string cache = dir.file("cache");
    CliResult r = cli(dir, {"thumbs", dir.file("empty"), "--cache", cache});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("pictures: 0\n"), std::string::npos);
    EXPECT_EQ(r.out.find("cache:"), std::string::npos);
    EXPECT_EQ(cli(dir, {"cache", "show", dir.file("empty"), "--cache", cache}).code, 1);
    EXPECT_EQ(cli(dir, {"thumbs", dir.file("missing"), "--cache", cache}).code, 1);
    EXPECT_EQ(cli(dir, {"thumbs"}).code, 2);
    EXPECT_EQ(cli(dir, {"cache", "list"}).code, 2);
}

TEST(KameloCliThumbs, ARegularFileAsTheCacheFolderIsRefusedWithAReason) {
    ScratchDir dir;
    fs::create_directories(dir.file("photos"));
    const std::string notAFolder = dir.file("cachefile");
    kamelo::test::writeFile(notAFolder, "x");
    EXPECT_EQ(cli(dir, {"thumbs", dir.file("photos"), "--cache", notAFolder}).code, 2);
    EXPECT_EQ(cli(dir, {"cache", "show", dir.file("photos"), "--cache", notAFolder}).code, 2);
    // A cache folder below a file cannot be made either.
    EXPECT_EQ(cli(dir, {"thumbs", dir.file("photos"), "--cache", notAFolder + "/sub"}).code, 2);
    EXPECT_EQ(kamelo::test::readFile(notAFolder), "x");
    // Only the last level is made: a missing parent is a mistake, said so.
    const CliResult missing =
        kamelo::test::runCli(dir, {"thumbs", dir.file("photos"), "--cache", dir.file("no/cache")},
                             kamelo::test::CliStreams::Errors);
    EXPECT_EQ(missing.code, 2);
    EXPECT_NE(missing.out.find("상위 폴더가 없습니다: " + dir.file("no")), std::string::npos)
        << missing.out;
    EXPECT_FALSE(fs::exists(dir.file("no")));
    EXPECT_EQ(cli(dir, {"thumbs", dir.file("photos"), "--cache", dir.file("made/")}).code, 0);
    EXPECT_TRUE(fs::is_directory(dir.file("made")));
}

TEST(KameloCliThumbs, EverySaveDeletesThePairItReplacesEvenInARace) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const std::string photos = cameraFolder(dir), cache = dir.file("cache");
    // The pairs on disk, as bases.
    auto pairs = [&] {
        std::set<std::string> bases;
        for (const auto& e : fs::directory_iterator(cache))
            if (e.path().extension() == ".cac" || e.path().extension() == ".lis")
                bases.insert((e.path().parent_path() / e.path().stem()).string());
        return bases;
    };
    auto named = [&] {
        const CliResult r = cli(dir, {"cache", "show", photos, "--cache", cache});
        return r.out.substr(7, r.out.find('\n') - 7);
    };
    for (int run = 0; run < 2; ++run)
        ASSERT_EQ(cli(dir, {"thumbs", photos, "--cache", cache}).code, 0);
    EXPECT_EQ(pairs(), std::set<std::string>{cache + "/1"});
    EXPECT_EQ(named(), cache + "/1");
    // Two runs at once take two numbers; whichever records last deletes
    // the other's pair.
    const std::string one = "XDG_CONFIG_HOME=" + kamelo::test::shellQuote(dir.file("config")) +
                            " " + kamelo::test::shellQuote(KAMELO_CLI) + " thumbs " +
                            kamelo::test::shellQuote(photos) + " --cache " +
                            kamelo::test::shellQuote(cache) + " >/dev/null 2>&1";
    for (int race = 0; race < 3; ++race) {
        SCOPED_TRACE(race);
        ASSERT_EQ(std::system(("(" + one + ") & (" + one + ") & wait").c_str()), 0);
        const std::set<std::string> left = pairs();
        EXPECT_EQ(left.size(), 1u);
        EXPECT_EQ(left, std::set<std::string>{named()});
    }
}

TEST(KameloCliThumbs, CacheShowEscapesNamesSoEveryRecordStaysOneLine) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const std::string photos = dir.file("pho\ttos"), cache = dir.file("cache");
    fs::create_directories(photos);
    const std::string odd = "a\tb\nc\\d.jpg";
    fs::copy_file(kamelo::test::testDataFile("camera/Canon_40D.jpg"), photos + "/" + odd);
    ASSERT_EQ(cli(dir, {"thumbs", photos, "--cache", cache}).code, 0);
    const CliResult r = cli(dir, {"cache", "show", photos, "--cache", cache});
    ASSERT_EQ(r.code, 0) << r.out;
    const std::string escapedFolder = dir.file("pho\\ttos");
    EXPECT_NE(r.out.find("\na\\tb\\nc\\\\d.jpg\t" + escapedFolder + "/a\\tb\\nc\\\\d.jpg\tfile\t"),
              std::string::npos)
        << r.out;
    // "cache:", the parent entry and the picture: three lines of seven fields
    // after the first.
    size_t lines = 0, tabs = 0;
    for (const char c : r.out) {
        lines += c == '\n';
        tabs += c == '\t';
    }
    EXPECT_EQ(lines, 3u) << r.out;
    EXPECT_EQ(tabs, 12u) << r.out;

    // The command's own help says how names are written.
    const CliResult help = cli(dir, {"cache", "show", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("\\\\, \\n, \\t"), std::string::npos) << help.out;
}

TEST(KameloCliThumbs, AFolderNamedByBytesThatAreNotUtf8IsListedAndCached) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const std::string photos = dir.file("\xC7\xD1\xB1\xDB-\xFF"), cache = dir.file("cache");
    fs::create_directories(photos + "/\xFE sub");
    fs::copy_file(kamelo::test::testDataFile("camera/Canon_40D.jpg"), photos + "/\xE9t\xE9.jpg");
    CliResult r = cli(dir, {"thumbs", photos, "--cache", cache});
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("pictures: 1\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("unreadable"), std::string::npos) << r.out;

    std::vector<kamelo::CThumbData> records;
    ASSERT_TRUE(kamelo::ThumbArchive::readFile(cache + "/0.lis", records));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].fullPath, photos + "/\xFE sub");
    EXPECT_EQ(records[2].fullPath, photos + "/\xE9t\xE9.jpg");
    EXPECT_EQ(records[2].thumbnailDone, 1);
    EXPECT_NE(records[2].pictureRect.left, INT32_MIN);

    // The cache is found again under the same bytes.
    r = cli(dir, {"cache", "show", photos, "--cache", cache});
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("\xE9t\xE9.jpg\t" + photos + "/\xE9t\xE9.jpg\tfile"), std::string::npos);
}

TEST(KameloCliThumbs, ADamagedCacheCountStartsTheCacheAgain) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const std::string photos = cameraFolder(dir), cache = dir.file("cache"), db = dir.file("k.db");
    {
        kamelo::SettingsStore store(db);
        ASSERT_TRUE(store.setInt("cache", "cache count", INT32_MAX));
    }
    const CliResult r = cli(dir, {"--db", db, "thumbs", photos, "--cache", cache});
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("cache: " + cache + "/0\n"), std::string::npos) << r.out;
    kamelo::SettingsStore store(db);
    EXPECT_EQ(store.getInt("cache", "cache count", -5), 1);
}

TEST(KameloCliThumbs, AnyNumberOfJobsStoresTheSameCells) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const std::string photos = cameraFolder(dir);
    std::vector<std::string> cells;
    for (const char* jobs : {"1", "2", "5"}) {
        const std::string cache = dir.file(std::string("cache") + jobs);
        const CliResult r =
            cli(dir, {"thumbs", photos, "--no-stamp", "--jobs", jobs, "--cache", cache});
        ASSERT_EQ(r.code, 0) << r.out;
        EXPECT_NE(r.out.find("pictures: 3\n"), std::string::npos) << r.out;
        // Each run stores a new pair under the name it prints.
        const size_t at = r.out.find("cache: ");
        ASSERT_NE(at, std::string::npos) << r.out;
        const std::string base = r.out.substr(at + 7, r.out.find('\n', at) - at - 7);
        cells.push_back(kamelo::test::readFile(base + ".cac"));
        ASSERT_FALSE(cells.back().empty());
    }
    EXPECT_EQ(cells[1], cells[0]);
    EXPECT_EQ(cells[2], cells[0]);
}

TEST(KameloCliThumbs, RefusesJobCountsOutsideOneToSixtyFour) {
    ScratchDir dir;
    fs::create_directories(dir.file("empty"));
    const std::string cache = dir.file("cache");
    for (const char* bad : {"0", "65", "-1", "x", "2x", " 2", ""})
        EXPECT_EQ(cli(dir, {"thumbs", dir.file("empty"), "--jobs", bad, "--cache", cache}).code, 2)
            << bad;
    EXPECT_EQ(cli(dir, {"thumbs", dir.file("empty"), "--cache", cache, "--jobs"}).code, 2);
    EXPECT_EQ(cli(dir, {"thumbs", dir.file("empty"), "--jobs", "64", "--cache", cache}).code, 0);
}
