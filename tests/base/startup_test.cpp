#include "base/commandline.h"
#include "base/programfolders.h"
#include "base/settingsstore.h"
#include "base/thumbcachereset.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace fs = std::filesystem;
using kamelo::CommandLine;
using kamelo::ProgramFolders;
using kamelo::SettingsStore;
using kamelo::ThumbCacheReset;
using kamelo::test::ScratchDir;
using kamelo::test::writeFile;

namespace {

struct CacheFixture {
    ScratchDir dir;
    SettingsStore store{dir.file("k.sqlite")};
    std::string cache = dir.file("data/cache");

    CacheFixture() {
        writeFile(cache + "/0.cac", "image list");
        writeFile(cache + "/0.lis", "records");
        store.setInt("cache", "cache count", 1);
        store.setString("cache", "0", "/photos");
        store.setInt("General", "Last Folder Kept", 1);
    }
    bool cacheIndexPresent() const { return store.getInt("Cache", "cache count", -1) != -1; }
};

} // namespace

class StaleCache : public ::testing::TestWithParam<std::optional<int>> {};

TEST_P(StaleCache, AnyVersionButTwoEmptiesTheFolderAndDropsTheIndex) {
    CacheFixture f;
    if (GetParam())
        f.store.setInt("General", "Cache File Version", *GetParam());
    EXPECT_TRUE(ThumbCacheReset::clearIfStale(f.store, f.cache));
    EXPECT_TRUE(fs::is_directory(f.cache));
    EXPECT_TRUE(fs::is_empty(f.cache));
    EXPECT_FALSE(f.cacheIndexPresent());
    EXPECT_EQ(f.store.getString("Cache", "0", "gone"), "gone");
    EXPECT_EQ(f.store.getInt("General", "Last Folder Kept", 0), 1);
}

INSTANTIATE_TEST_SUITE_P(Versions, StaleCache,
                         ::testing::Values(std::nullopt, std::optional<int>(0),
                                           std::optional<int>(1), std::optional<int>(3)));

TEST(ThumbCacheReset, VersionTwoKeepsCacheAndIndex) {
    CacheFixture f;
    f.store.setInt("General", "Cache File Version", 2);
    EXPECT_FALSE(ThumbCacheReset::clearIfStale(f.store, f.cache));
    EXPECT_TRUE(fs::exists(f.cache + "/0.cac"));
    EXPECT_TRUE(fs::exists(f.cache + "/0.lis"));
    EXPECT_TRUE(f.cacheIndexPresent());
}

TEST(ThumbCacheReset, AMissingCacheFolderIsCreated) {
    ScratchDir dir;
    SettingsStore store(dir.file("k.sqlite"));
    const std::string cache = dir.file("data/cache");
    fs::create_directories(dir.file("data"));
    ThumbCacheReset::clear(store, cache);
    EXPECT_TRUE(fs::is_directory(cache));
}

TEST(CommandLine, OnlyQuotesAtTheTwoEndsAreRemoved) {
    EXPECT_EQ(CommandLine::picturePath({"\"/home/u/a b.jpg\""}), "/home/u/a b.jpg");
    EXPECT_EQ(CommandLine::picturePath({"/home/u/a b.jpg"}), "/home/u/a b.jpg");
    EXPECT_EQ(CommandLine::picturePath({"/p/say \"hi\".jpg"}), "/p/say \"hi\".jpg");
    EXPECT_EQ(CommandLine::picturePath({"\"/p/say \"hi\".jpg\""}), "/p/say \"hi\".jpg");
    EXPECT_EQ(CommandLine::picturePath({"\"\"/p/x.jpg\"\""}), "/p/x.jpg");
    EXPECT_EQ(CommandLine::picturePath({"\"/p/open.jpg"}), "/p/open.jpg");
    EXPECT_EQ(CommandLine::picturePath({"\"\""}), "");
    EXPECT_EQ(CommandLine::picturePath({"\""}), "");
    EXPECT_EQ(CommandLine::picturePath({}), "");
    // A launcher that split an unquoted path with spaces.
    EXPECT_EQ(CommandLine::picturePath({"\"/p/a", "b.jpg\""}), "/p/a b.jpg");
}

TEST(ProgramFolders, MissingFoldersAreCreatedAndExistingOnesAreFine) {
    ScratchDir dir;
    const std::string program = dir.file("opt/kamelo");
    fs::create_directories(program);
    for (int run = 0; run < 2; ++run) {
        ProgramFolders f = ProgramFolders::prepare(program, dir.file("userdata"));
        EXPECT_EQ(f.programFolder, program + "/");
        EXPECT_EQ(f.skin, program + "/skin");
        EXPECT_EQ(f.data, program + "/data");
        EXPECT_EQ(f.cache, program + "/data/cache");
        EXPECT_EQ(f.temp, program + "/data/temp");
        EXPECT_FALSE(f.dataMoved);
        for (const auto& p : {f.skin, f.data, f.cache, f.temp})
            EXPECT_TRUE(fs::is_directory(p)) << p;
    }
    EXPECT_FALSE(fs::exists(dir.file("userdata")));
}

TEST(ProgramFolders, DataMovesToTheUserFolderWhenTheProgramFolderCannotHoldIt) {
    ScratchDir dir;
    // A file where the program folder should be: nothing can be created in it,
    // whoever runs the test.
    writeFile(dir.file("blocked"), "not a folder");
    const std::string program = dir.file("blocked") + "/";
    ProgramFolders f = ProgramFolders::prepare(program, dir.file("xdg/kamelo"));
    EXPECT_TRUE(f.dataMoved);
    EXPECT_EQ(f.data, dir.file("xdg/kamelo"));
    EXPECT_TRUE(fs::is_directory(f.cache));
    EXPECT_TRUE(fs::is_directory(f.temp));
    EXPECT_FALSE(fs::exists(f.skin));
}

TEST(ProgramFolders, UserDataFolderFollowsXdgDataHome) {
    const char* old = std::getenv("XDG_DATA_HOME");
    std::string saved = old ? old : "";
    setenv("XDG_DATA_HOME", "/x/data", 1);
    EXPECT_EQ(ProgramFolders::defaultUserDataFolder(), "/x/data/kamelo");
    if (old)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}
