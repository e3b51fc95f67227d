#include "base/settingsstore.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <climits>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using kamelo::SettingsStore;
using kamelo::SettingType;
using kamelo::StoreOpenStatus;
using kamelo::test::ScratchDir;

namespace {

std::string dbIn(const ScratchDir& dir) {
    return dir.file("config/Halvern/Kamelo.sqlite");
}

} // namespace

TEST(SettingsStore, RoundTripsEveryTypeIncludingExtremes) {
    ScratchDir dir;
    {
        SettingsStore s(dbIn(dir));
        EXPECT_EQ(s.openStatus(), StoreOpenStatus::Ok);
        EXPECT_TRUE(s.setInt("Thumb", "min", INT32_MIN));
        EXPECT_TRUE(s.setInt("Thumb", "max", INT32_MAX));
        EXPECT_TRUE(s.setInt("Thumb", "minus one", -1));
        EXPECT_TRUE(s.setString("General", "Last Folder", "바탕 화면\\내 사진\\"));
        EXPECT_TRUE(s.setString("General", "empty", ""));
        EXPECT_TRUE(s.setBinary("UI settings", "bytes", {0x00, 0xff, 0x00, 0x80}));
        EXPECT_TRUE(s.setBinary("UI settings", "no bytes", {}));
    }
    // A second store on the same file sees what the first one wrote.
    SettingsStore s(dbIn(dir));
    EXPECT_EQ(s.getInt("Thumb", "min", 0), INT32_MIN);
    EXPECT_EQ(s.getInt("Thumb", "max", 0), INT32_MAX);
    EXPECT_EQ(s.getInt("Thumb", "minus one", 0), -1);
    EXPECT_EQ(s.getString("General", "Last Folder", "x"), "바탕 화면\\내 사진\\");
    EXPECT_EQ(s.getString("General", "empty", "x"), "");
    EXPECT_EQ(s.getBinary("UI settings", "bytes"), (std::vector<uint8_t>{0x00, 0xff, 0x00, 0x80}));
    ASSERT_TRUE(s.getBinary("UI settings", "no bytes").has_value());
    EXPECT_TRUE(s.getBinary("UI settings", "no bytes")->empty());
}

TEST(SettingsStore, MissingValuesAndValuesOfAnotherTypeGiveTheDefault) {
    ScratchDir dir;
    SettingsStore s(dbIn(dir));
    EXPECT_EQ(s.getInt("Thumb", "Thumb Width", 120), 120);
    EXPECT_EQ(s.getString("General", "Last Folder", "dflt"), "dflt");
    EXPECT_FALSE(s.getBinary("UI settings", "Horz Split Ratio"));
    s.setString("Thumb", "Thumb Width", "200");
    EXPECT_EQ(s.getInt("Thumb", "Thumb Width", 120), 120);
    s.setInt("General", "Last Folder", 5);
    EXPECT_EQ(s.getString("General", "Last Folder", "dflt"), "dflt");
    EXPECT_FALSE(s.getBinary("General", "Last Folder"));
}

TEST(SettingsStore, SectionAndValueNamesIgnoreCaseAndKeepTheFirstSpelling) {
    ScratchDir dir;
    SettingsStore s(dbIn(dir));
    s.setInt("General", "Sort By", 2);
    EXPECT_EQ(s.getInt("general", "sort by", 0), 2);
    EXPECT_EQ(s.getInt("GENERAL", "SORT BY", 0), 2);
    s.setInt("general", "SORT BY", 3);
    auto all = s.entries();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].key, "Software\\Halvern\\Kamelo\\General");
    EXPECT_EQ(all[0].name, "Sort By");
    EXPECT_EQ(all[0].intValue, 3);
}

TEST(SettingsStore, DeletingValuesAndWholeSubKeys) {
    ScratchDir dir;
    SettingsStore s(dbIn(dir));
    s.setInt("Cache", "cache count", 2);
    s.setString("Cache", "0", "/photos");
    s.setString("Cache\\Nested", "x", "y");
    s.setInt("Cache2", "keep", 1); // shares a prefix, is not a sub-key
    s.setInt("General", "Cache File Version", 2);

    EXPECT_TRUE(s.deleteValue("cache", "0"));
    EXPECT_FALSE(s.deleteValue("cache", "0"));
    EXPECT_EQ(s.getInt("Cache", "cache count", -1), 2);

    EXPECT_TRUE(s.deleteSection("CACHE"));
    EXPECT_EQ(s.getInt("Cache", "cache count", -1), -1);
    EXPECT_EQ(s.getString("Cache\\Nested", "x", "gone"), "gone");
    EXPECT_EQ(s.getInt("Cache2", "keep", 0), 1);
    EXPECT_EQ(s.getInt("General", "Cache File Version", 0), 2);
    EXPECT_TRUE(s.deleteSection("Nothing Here"));
}

TEST(SettingsStore, OtherToolsSeeThePublishedTableAndRegistryTypes) {
    ScratchDir dir;
    {
        SettingsStore s(dbIn(dir));
        s.setInt("General", "n", 7);
        s.setString("General", "s", "글");
        s.setBinary("General", "b", {1, 2});
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(dbIn(dir).c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db,
                                 "SELECT name, type, typeof(value) FROM registry "
                                 "WHERE key = 'software\\halvern\\kamelo\\general' ORDER BY name",
                                 -1, &st, nullptr),
              SQLITE_OK);
    std::vector<std::string> rows;
    while (sqlite3_step(st) == SQLITE_ROW)
        rows.push_back(std::string((const char*)sqlite3_column_text(st, 0)) + ":" +
                       std::to_string(sqlite3_column_int(st, 1)) + ":" +
                       (const char*)sqlite3_column_text(st, 2));
    sqlite3_finalize(st);
    sqlite3_close(db);
    EXPECT_EQ(rows, (std::vector<std::string>{"b:3:blob", "n:4:integer", "s:1:text"}));
}

TEST(SettingsStore, TwoProcessesWritingAtOnceLoseNothing) {
    ScratchDir dir;
    const std::string path = dbIn(dir);
    { SettingsStore create(path); }
    constexpr int kPerProcess = 150;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            SettingsStore s(path);
            bool ok = true;
            for (int i = 0; i < kPerProcess; ++i) {
                std::string name = "p" + std::to_string(c) + "-" + std::to_string(i);
                if (i % 10 == 0) {
                    SettingsStore::Batch batch(s);
                    ok &= s.setInt("Race", name, i);
                    ok &= s.setString("Race", name + "s", name);
                    ok &= batch.commit();
                } else {
                    ok &= s.setInt("Race", name, i);
                    ok &= s.setString("Race", name + "s", name);
                }
            }
            _exit(ok ? 0 : 1);
        }
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    SettingsStore s(path);
    EXPECT_EQ(s.entries(SettingsStore::sectionKey("Race")).size(), 2u * 2 * kPerProcess);
    EXPECT_EQ(s.getInt("Race", "p1-149", -1), 149);
    EXPECT_EQ(s.getString("Race", "p0-0s", ""), "p0-0");
}

TEST(SettingsStore, GarbageFileIsKeptAsideAndAFreshStoreStarts) {
    ScratchDir dir;
    const std::string path = dbIn(dir);
    const std::string garbage(8192, 'x');
    kamelo::test::writeFile(path, garbage);
    SettingsStore s(path);
    EXPECT_EQ(s.openStatus(), StoreOpenStatus::RecoveredFromDamage);
    ASSERT_FALSE(s.damagedCopyPath().empty());
    EXPECT_EQ(kamelo::test::readFile(s.damagedCopyPath()), garbage);
    EXPECT_EQ(s.getInt("Thumb", "Thumb Width", 120), 120);
    EXPECT_TRUE(s.setInt("Thumb", "Thumb Width", 90));
    EXPECT_EQ(s.getInt("Thumb", "Thumb Width", 120), 90);
}

TEST(SettingsStore, DamagedPagesInARealDatabaseAreFoundAtOpen) {
    ScratchDir dir;
    const std::string path = dbIn(dir);
    {
        SettingsStore s(path);
        for (int i = 0; i < 400; ++i)
            s.setString("Cache", std::to_string(i), std::string(100, 'a' + i % 26));
    }
    std::string bytes = kamelo::test::readFile(path);
    ASSERT_GT(bytes.size(), 3 * 4096u);
    // Overwrite the second page, where the table's b-tree begins.
    std::fill(bytes.begin() + 4096, bytes.begin() + 2 * 4096, '\xff');
    kamelo::test::writeFile(path, bytes);
    SettingsStore s(path);
    EXPECT_EQ(s.openStatus(), StoreOpenStatus::RecoveredFromDamage);
    EXPECT_TRUE(fs::exists(s.damagedCopyPath()));
    EXPECT_TRUE(s.entries().empty());
}

TEST(SettingsStore, ATableOfAnotherShapeIsNotReinterpreted) {
    ScratchDir dir;
    const std::string path = dbIn(dir);
    fs::create_directories(fs::path(path).parent_path());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE registry(a, b)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    SettingsStore s(path);
    EXPECT_EQ(s.openStatus(), StoreOpenStatus::RecoveredFromDamage);
    EXPECT_TRUE(s.setInt("General", "x", 1));
    EXPECT_EQ(s.getInt("General", "x", 0), 1);
}

TEST(SettingsStore, AnUnusablePathStillGivesAWorkingStoreForTheRun) {
    ScratchDir dir;
    const std::string path = dir.file("Kamelo.sqlite");
    fs::create_directories(path); // a folder where the file should be
    SettingsStore s(path);
    EXPECT_EQ(s.openStatus(), StoreOpenStatus::InMemoryOnly);
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_TRUE(s.setString("General", "Last Folder", "a"));
    EXPECT_EQ(s.getString("General", "Last Folder", ""), "a");
}

TEST(SettingsStore, DefaultPathFollowsXdgConfigHome) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", "/somewhere/config", 1);
    EXPECT_EQ(SettingsStore::defaultPath(), "/somewhere/config/Halvern/Kamelo.sqlite");
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    setenv("HOME", getenv("HOME") ? getenv("HOME") : "/root", 1);
    EXPECT_EQ(SettingsStore::defaultPath(),
              std::string(getenv("HOME")) + "/.config/Halvern/Kamelo.sqlite");
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}
