#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"
#include "updater/installscript.h"
#include "updater/systemactions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

using namespace vela;
using kamelo::test::readFile;
using kamelo::test::ScratchDir;
using kamelo::test::writeFile;

namespace {

bool exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

// Runs the autostart folder the way a desktop session does at logon. dex
// starts the entries without waiting for them (its --wait is for single
// entries only).
int runAutostart(const std::string& folder) {
    const std::string cmd = "dex --autostart --search-paths " +
                            scriptQuoted(ScriptDialect::Posix, folder) + " >/dev/null 2>&1";
    return std::system(cmd.c_str());
}

} // namespace

TEST(Autostart, ExecArgumentsAreQuotedForDesktopEntries) {
    EXPECT_EQ(desktopExecArgument("/a b"), "\"/a b\"");
    // Exec quoting escapes "$", then the file's string escapes double the backslash.
    EXPECT_EQ(desktopExecArgument("$0"), "\"\\\\$0\"");
    EXPECT_EQ(desktopExecArgument("50%"), "\"50%%\"");
}

TEST(Autostart, EntryRunsOnceAndRemovesItself) {
    if (std::system("command -v dex >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "dex is not installed (scripts/install-deps.sh installs it)";
    kamelo::test::Watchdog dog(60);
    ScratchDir dir;
    // dex reads no escapes inside quotes; blanks and quotes of the shell are fine.
    const std::string config = dir.path() + "/config dir's";
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const std::string install = dir.path() + "/inst dir/";
    std::filesystem::create_directories(install);
    const std::string script = install + "REBOOT.sh";
    appendToScript(script, "#!/bin/sh\necho ran >> '" + install + "count'\n");
    appendToScript(script, scriptEnding(ScriptDialect::Posix));

    PosixSystemActions system;
    ASSERT_TRUE(system.runAtNextLogon(script));
    const std::string entry = autostartEntryPath(script);
    EXPECT_EQ(entry.rfind(config + "/autostart/", 0), 0u);
    ASSERT_TRUE(exists(entry));
    SCOPED_TRACE(readFile(entry) + readFile(autostartLauncherPath(script)));
    if (std::system("command -v desktop-file-validate >/dev/null") == 0) {
        EXPECT_EQ(
            std::system(
                ("desktop-file-validate " + scriptQuoted(ScriptDialect::Posix, entry)).c_str()),
            0);
    }

    EXPECT_EQ(runAutostart(config + "/autostart"), 0);
    // The script deletes itself last; the watchdog bounds the wait.
    while (exists(script))
        ::usleep(10000);
    EXPECT_EQ(readFile(install + "count"), "ran\n");
    EXPECT_FALSE(exists(entry));
    EXPECT_FALSE(exists(script));
    EXPECT_FALSE(exists(autostartLauncherPath(script)));
    // The next logon runs nothing.
    runAutostart(config + "/autostart");
    EXPECT_EQ(readFile(install + "count"), "ran\n");
    ::unsetenv("XDG_CONFIG_HOME");
}

TEST(StartDetached, StartsWithoutAShellAndReportsFailure) {
    ScratchDir dir;
    EXPECT_TRUE(
        startDetachedProcess({"/bin/sh", "-c", "echo $0 > \"$1\"", "x;y", dir.file("out")}));
    for (int i = 0; i < 500 && readFile(dir.file("out")).empty(); ++i)
        ::usleep(10000);
    EXPECT_EQ(readFile(dir.file("out")), "x;y\n");
    EXPECT_FALSE(startDetachedProcess({dir.file("no such program")}));
    EXPECT_FALSE(startDetachedProcess({}));
}
