#include "base/settingsstore.h"
#include "tests/cli/clirunner.h"
#include "tests/support/scratchdir.h"
#include "tests/support/settingslocker.h"
#include "tests/support/watchdog.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>
#include <unistd.h>

using kamelo::test::ScratchDir;

using kamelo::test::cli;
using kamelo::test::CliResult;

TEST(KameloCli, VersionAndUsage) {
    ScratchDir dir;
    CliResult v = cli(dir, {"--version"});
    EXPECT_EQ(v.code, 0);
    EXPECT_EQ(v.out.rfind("Kamelo ", 0), 0u);
    EXPECT_EQ(cli(dir, {}).code, 2);
    EXPECT_EQ(cli(dir, {"settings", "get", "General"}).code, 2);
    EXPECT_EQ(cli(dir, {"settings", "set", "General", "k", "v", "--float"}).code, 2);
}

TEST(KameloCli, SetAndGetWorkOnTheProgramsStore) {
    ScratchDir dir;
    EXPECT_EQ(cli(dir, {"settings", "set", "Thumb", "Thumb Width", "160"}).code, 0);
    EXPECT_EQ(cli(dir, {"settings", "set", "General", "Last Folder", "바탕 화면\\사진\\"}).code, 0);
    EXPECT_EQ(cli(dir, {"settings", "set", "general", "Viewer Background Color", "0xFFFFFF"}).code,
              0);
    EXPECT_EQ(cli(dir, {"settings", "set", "General", "Name", "123", "--string"}).code, 0);

    EXPECT_EQ(cli(dir, {"settings", "get", "thumb", "thumb width"}).out, "160\n");
    EXPECT_EQ(cli(dir, {"settings", "get", "General", "Last Folder"}).out, "바탕 화면\\사진\\\n");
    EXPECT_EQ(cli(dir, {"settings", "get", "General", "Viewer Background Color"}).out,
              "16777215\n");

    // The program reads exactly what the tool wrote.
    kamelo::SettingsStore store(dir.file("config/Halvern/Kamelo.sqlite"));
    EXPECT_EQ(store.getInt("Thumb", "Thumb Width", 0), 160);
    EXPECT_EQ(store.getString("General", "Name", ""), "123");

    // Without a flag an existing value keeps its type.
    EXPECT_EQ(cli(dir, {"settings", "set", "General", "Name", "456"}).code, 0);
    EXPECT_EQ(store.getString("General", "Name", ""), "456");
}

TEST(KameloCli, MissingValuesAndBadIntegersAreErrors) {
    ScratchDir dir;
    CliResult missing = cli(dir, {"settings", "get", "General", "Nothing"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(cli(dir, {"settings", "set", "Thumb", "Thumb Width", "12x", "--int"}).code, 2);
    EXPECT_EQ(cli(dir, {"settings", "set", "Thumb", "Thumb Width", "4294967296", "--int"}).code, 2);
    EXPECT_EQ(cli(dir, {"settings", "get", "Thumb", "Thumb Width"}).code, 1);
}

TEST(KameloCli, DumpListsEveryValueAndDeleteRemovesThem) {
    ScratchDir dir;
    {
        kamelo::SettingsStore store(dir.file("config/Halvern/Kamelo.sqlite"));
        store.setBinary("UI settings", "Horz Split Ratio", {0, 0, 0x80, 0x3e});
        store.setInt("cache", "cache count", 3);
        store.setString("Cache\\Sub", "x", "y");
    }
    EXPECT_EQ(cli(dir, {"settings", "dump"}).out,
              "Software\\Halvern\\Kamelo\\cache\tcache count\tint\t3\n"
              "Software\\Halvern\\Kamelo\\Cache\\Sub\tx\tstring\ty\n"
              "Software\\Halvern\\Kamelo\\UI settings\tHorz Split Ratio\tbinary\t0000803e\n");
    EXPECT_EQ(cli(dir, {"settings", "delete", "Cache"}).code, 0);
    EXPECT_EQ(cli(dir, {"settings", "dump"}).out,
              "Software\\Halvern\\Kamelo\\UI settings\tHorz Split Ratio\tbinary\t0000803e\n");
}

TEST(KameloCli, InfoPrintsOneLinePerFileAndFailsOnUnreadableOnes) {
    ScratchDir dir;
    const std::string png = dir.file("a.png");
    {
        // A tiny picture written by the tool itself.
        kamelo::test::writeFile(dir.file("src.ppm"), "P6\n3 2\n255\n" + std::string(18, '\x7f'));
    }
    CliResult bad = cli(dir, {"info", dir.file("src.ppm"), dir.file("missing.jpg")});
    EXPECT_EQ(bad.code, 1);
    EXPECT_EQ(bad.out, ""); // PPM is not one of the program's picture types
}

TEST(KameloCli, ResaveConvertsByTheOutputExtension) {
    ScratchDir dir;
    const std::string bmp = dir.file("in.bmp");
    // 2x1 24-bit bottom-up BMP: blue pixel, red pixel.
    std::string b = "BM";
    auto le32 = [](uint32_t v) {
        return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    };
    b += le32(62) + le32(0) + le32(54) + le32(40) + le32(2) + le32(1);
    b += std::string{1, 0, 24, 0} + le32(0) + le32(8) + le32(2835) + le32(2835) + le32(0) + le32(0);
    b += std::string{'\xff', 0, 0, 0, 0, '\xff', 0, 0};
    kamelo::test::writeFile(bmp, b);
    EXPECT_EQ(cli(dir, {"resave", bmp, dir.file("out.png")}).code, 0);
    EXPECT_EQ(cli(dir, {"resave", bmp, dir.file("out.jpg"), "--quality-factor", "29"}).code, 0);
    CliResult info = cli(dir, {"info", dir.file("out.png"), dir.file("out.jpg")});
    EXPECT_EQ(info.code, 0);
    EXPECT_NE(info.out.find("out.png\tPNG\t2\t1\t24\t1\t"), std::string::npos);
    EXPECT_NE(info.out.find("out.jpg\tJPEG\t2\t1\t24\t1\tJPEG\t"), std::string::npos);
    EXPECT_EQ(cli(dir, {"resave", bmp, dir.file("out.pcd")}).code, 2);
    EXPECT_EQ(cli(dir, {"resave", bmp, dir.file("x.png"), "--quality-factor", "1"}).code, 2);
    EXPECT_EQ(cli(dir, {"resave", dir.file("none.bmp"), dir.file("x.png")}).code, 1);
}

using kamelo::test::SettingsLocker;

using kamelo::test::Watchdog;

namespace {

// kamelo-cli's exit code and what it wrote to stderr.
CliResult cliErrors(const ScratchDir& dir, const std::vector<std::string>& args) {
    return kamelo::test::runCli(dir, args, kamelo::test::CliStreams::Errors);
}

} // namespace

TEST(KameloCli, AWriteALockedDatabaseRefusedFailsAndLeavesTheFileAlone) {
    Watchdog watchdog(120);
    ScratchDir dir;
    const std::string db = dir.file("config/Halvern/Kamelo.sqlite");
    { kamelo::SettingsStore(db).setInt("General", "X", 1); }
    {
        SettingsLocker other(db);
        ASSERT_TRUE(other.locked());
        const CliResult set = cliErrors(dir, {"settings", "set", "General", "X", "9", "--int"});
        EXPECT_EQ(set.code, 1);
        EXPECT_NE(set.out.find("설정을 저장하지 못했습니다"), std::string::npos) << set.out;
        EXPECT_NE(set.out.find("잠그고 있습니다"), std::string::npos) << set.out;
        // One explanation, not a vaguer one before it.
        EXPECT_EQ(set.out.find("설정 파일을 열 수 없습니다"), std::string::npos) << set.out;
    }
    // Locked is not damaged: the file is where it was, with its value.
    for (const auto& e : std::filesystem::directory_iterator(dir.file("config/Halvern")))
        EXPECT_EQ(e.path().filename().string().find("damaged"), std::string::npos);
    EXPECT_EQ(kamelo::SettingsStore(db).getInt("General", "X", 0), 1);
}

TEST(KameloCli, AWriteWaitsForALockThatGoesAway) {
    Watchdog watchdog(120);
    ScratchDir dir;
    const std::string db = dir.file("config/Halvern/Kamelo.sqlite");
    { kamelo::SettingsStore(db).setInt("General", "X", 1); }
    std::promise<void> locked;
    std::thread holder([&] {
        SettingsLocker other(db);
        locked.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    });
    locked.get_future().wait();
    EXPECT_EQ(cli(dir, {"settings", "set", "General", "X", "9", "--int"}).code, 0);
    holder.join();
    EXPECT_EQ(kamelo::SettingsStore(db).getInt("General", "X", 0), 9);
}
