#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/thumbcachereset.h"
#include "base/uisettings.h"
#include "tests/support/scratchdir.h"
#include "tests/support/settingslocker.h"
#include "tests/support/watchdog.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using kamelo::CUiSettings;
using kamelo::SettingsStore;
using kamelo::StoreOpenStatus;
using kamelo::test::ScratchDir;

using kamelo::test::SettingsLocker;

using kamelo::test::Watchdog;

namespace {

std::string dbIn(const ScratchDir& dir) {
    return dir.file("config/Halvern/Kamelo.sqlite");
}

bool anyDamagedCopy(const std::string& folder) {
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().find(".damaged-") != std::string::npos)
            return true;
    return false;
}

} // namespace

TEST(SettingsLock, ALockedDatabaseIsNotDamagedAndIsTakenUpWhenFree) {
    Watchdog watchdog(60);
    ScratchDir dir;
    { SettingsStore(dbIn(dir)).setInt("Thumb", "Thumb Width", 160); }
    SettingsLocker other(dbIn(dir));
    ASSERT_TRUE(other.locked());
    SettingsStore s(dbIn(dir), 50);
    EXPECT_EQ(s.openStatus(), StoreOpenStatus::InMemoryOnly);
    EXPECT_TRUE(s.lockedAtOpen());
    EXPECT_TRUE(s.damagedCopyPath().empty());
    EXPECT_FALSE(anyDamagedCopy(fs::path(dbIn(dir)).parent_path()));
    EXPECT_FALSE(s.reopen(50)); // still held

    other.release();
    ASSERT_TRUE(s.reopen(1000));
    EXPECT_EQ(s.openStatus(), StoreOpenStatus::Ok);
    EXPECT_FALSE(s.lockedAtOpen());
    EXPECT_EQ(s.getInt("Thumb", "Thumb Width", 0), 160);
    EXPECT_TRUE(s.setInt("Thumb", "Thumb Height", 90));
    EXPECT_EQ(SettingsStore(dbIn(dir)).getInt("Thumb", "Thumb Height", 0), 90);
}

TEST(SettingsLock, AnUnusableFileIsNotTakenForALockedOne) {
    ScratchDir dir;
    fs::create_directories(dbIn(dir)); // a folder where the file should be
    SettingsStore s(dbIn(dir), 50);
    EXPECT_EQ(s.openStatus(), StoreOpenStatus::InMemoryOnly);
    EXPECT_FALSE(s.lockedAtOpen());
    EXPECT_FALSE(s.reopen(50));
}

TEST(SettingsLock, WritesDuringALockAreKeptAndStoredOnceItGoes) {
    Watchdog watchdog(60);
    ScratchDir dir;
    SettingsStore s(dbIn(dir), 50);
    ASSERT_EQ(s.openStatus(), StoreOpenStatus::Ok);
    ASSERT_TRUE(s.setInt("General", "X", 1));
    SettingsLocker other(dbIn(dir));
    ASSERT_TRUE(other.locked());

    EXPECT_FALSE(s.setInt("General", "X", 9));
    EXPECT_FALSE(s.setString("General", "Last Folder", "사진"));
    EXPECT_FALSE(s.setInt("General", "X", 10)); // once per name, the latest value
    ASSERT_EQ(s.unsavedWrites().size(), 2u);
    EXPECT_EQ(s.unsavedWrites()[0].intValue, 10);
    // The program reads back what it wrote.
    EXPECT_EQ(s.getInt("General", "X", 0), 10);
    EXPECT_EQ(s.getString("General", "Last Folder", ""), "사진");

    // A whole batch fails as one and is kept as well.
    CUiSettings ui;
    ui.thumbWidth = 200;
    EXPECT_FALSE(ui.save(s));
    // "Last Folder" is among them: kept once, with the batch's value.
    EXPECT_EQ(s.unsavedWrites().size(), 1u + ui.entries().size());
    EXPECT_EQ(s.getString("General", "Last Folder", "none"), "");
    EXPECT_FALSE(s.flushUnsaved(50));

    // A deleted value is not brought back by the flush.
    EXPECT_FALSE(s.deleteValue("General", "Last Folder"));
    other.release();
    ASSERT_TRUE(s.flushUnsaved(1000));
    EXPECT_TRUE(s.unsavedWrites().empty());
    SettingsStore fresh(dbIn(dir));
    EXPECT_EQ(fresh.getInt("General", "X", 0), 10);
    EXPECT_EQ(fresh.getString("General", "Last Folder", "none"), "none");
    EXPECT_EQ(fresh.getInt("Thumb", "Thumb Width", 0), 200);
    // Writes wait for locks again as usual.
    EXPECT_TRUE(s.setInt("General", "X", 11));
}

TEST(SettingsLock, AFlushWaitsForALockThatGoesAway) {
    Watchdog watchdog(60);
    ScratchDir dir;
    SettingsStore s(dbIn(dir), 50);
    std::promise<void> locked;
    std::thread holder([&] {
        SettingsLocker other(dbIn(dir));
        locked.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    });
    locked.get_future().wait();
    EXPECT_FALSE(s.setInt("General", "X", 9));
    // Long enough for the holder in any case; the flush returns once it can.
    EXPECT_TRUE(s.flushUnsaved(30000));
    holder.join();
    EXPECT_EQ(SettingsStore(dbIn(dir)).getInt("General", "X", 0), 9);
}

TEST(SettingsLock, ALockedDatabaseDoesNotThrowTheThumbnailCacheAway) {
    Watchdog watchdog(60);
    ScratchDir dir;
    const std::string cache = dir.file("data/cache");
    fs::create_directories(cache);
    { std::ofstream(cache + "/0.cac") << "cells"; }
    {
        SettingsStore s(dbIn(dir));
        s.setInt(kamelo::keys::kGeneral, kamelo::keys::kCacheFileVersion,
                 kamelo::keys::kCurrentCacheFileVersion);
    }
    SettingsLocker other(dbIn(dir));
    ASSERT_TRUE(other.locked());
    SettingsStore s(dbIn(dir), 50);
    ASSERT_TRUE(s.lockedAtOpen());
    EXPECT_FALSE(kamelo::ThumbCacheReset::clearIfStale(s, cache));
    EXPECT_TRUE(fs::exists(cache + "/0.cac"));
}
