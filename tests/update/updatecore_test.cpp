#include "tests/support/scratchdir.h"
#include "update/core/instanceregistry.h"
#include "update/core/packageowned.h"
#include "update/core/updaterlaunch.h"
#include "update/core/updaterules.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kamelo;
using namespace kamelo::update;

TEST(UpdateRules, ThrottleAroundSixHours) {
    const double now = 1'700'000'000;
    EXPECT_TRUE(UpdateRules::throttled(now, now - 21599));
    EXPECT_FALSE(UpdateRules::throttled(now, now - 21600));
    // A clock set back: the last check lies in the future.
    EXPECT_TRUE(UpdateRules::throttled(now, now + 21599));
    EXPECT_FALSE(UpdateRules::throttled(now, now + 21600));
    EXPECT_FALSE(UpdateRules::throttled(now, 0));
}

TEST(UpdateRules, CheckTimeText) {
    EXPECT_EQ(UpdateRules::formatCheckTime(1700000000.4), "1700000000");
    EXPECT_EQ(UpdateRules::parseCheckTime("1700000000"), 1700000000.0);
    EXPECT_EQ(UpdateRules::parseCheckTime(""), 0.0);
    EXPECT_EQ(UpdateRules::parseCheckTime("junk"), 0.0);
    EXPECT_EQ(UpdateRules::parseCheckTime("inf"), 0.0);
}

TEST(UpdateRules, VersionsCompareByteForByte) {
    test::ScratchDir dir;
    test::writeFile(dir.file("kamelo.ini"), "[GENERAL]\r\nVERSION=1.2.0.10\r\n");
    test::writeFile(dir.file("a.ini"), "[general]\nMAIN_VERSION = 1.2.0.9\n");
    VersionComparison c = UpdateRules::compareVersions(dir.file("a.ini"), dir.file("kamelo.ini"));
    EXPECT_EQ(c.outcome, VersionOutcome::Different);
    EXPECT_EQ(c.published, "1.2.0.9");
    EXPECT_EQ(c.installed, "1.2.0.10");
    test::writeFile(dir.file("b.ini"), "[GENERAL]\nMAIN_VERSION=1.2.0.10\n");
    EXPECT_EQ(UpdateRules::compareVersions(dir.file("b.ini"), dir.file("kamelo.ini")).outcome,
              VersionOutcome::Same);
    test::writeFile(dir.file("c.ini"), "[GENERAL]\nMAIN_VERSION=1.2.0.10 \nx\n");
    EXPECT_EQ(UpdateRules::compareVersions(dir.file("c.ini"), dir.file("kamelo.ini")).outcome,
              VersionOutcome::Same); // surrounding blanks are not part of a value
    test::writeFile(dir.file("d.ini"), "<html>404</html>");
    EXPECT_EQ(UpdateRules::compareVersions(dir.file("d.ini"), dir.file("kamelo.ini")).outcome,
              VersionOutcome::Missing);
    EXPECT_EQ(UpdateRules::compareVersions(dir.file("none.ini"), dir.file("kamelo.ini")).outcome,
              VersionOutcome::Missing);
    // No kamelo.ini: any published version is different from "NOT FOUND".
    EXPECT_EQ(UpdateRules::compareVersions(dir.file("b.ini"), dir.file("no.ini")).outcome,
              VersionOutcome::Different);
    test::writeFile(dir.file("e.ini"), "[GENERAL]\nMAIN_VERSION=" + std::string(400, '9') + "\n");
    EXPECT_EQ(
        UpdateRules::compareVersions(dir.file("e.ini"), dir.file("kamelo.ini")).published.size(),
        259u);
}

TEST(UpdateRules, LauncherParameterKeepsItsTwoBlanks) {
    EXPECT_EQ(UpdateRules::launcherParameter("run"),
              "<KNLAUNCHER_PARAM Command='run'  AgentName='Kamelo2.2.1.0' ProgramID='Kamelo' "
              "SilentMessage='1' AutoInstall='0' />");
    EXPECT_FALSE(UpdateRules::launcherCodeLeadsOn(0));
    EXPECT_FALSE(UpdateRules::launcherCodeLeadsOn(5));
    EXPECT_TRUE(UpdateRules::launcherCodeLeadsOn(40));
    EXPECT_TRUE(UpdateRules::launcherCodeLeadsOn(42));
    EXPECT_FALSE(UpdateRules::launcherCodeLeadsOn(43));
}

TEST(PackageOwnership, ThePackagesMarkerOrAnUnwritableFolderMakesTheCopyPackaged) {
    enum class Marker { None, File, Folder, Link };
    const struct {
        const char* name;
        Marker marker;
        bool managed;
    } cases[] = {
        {"a build tree", Marker::None, false},
        {"the package's marker", Marker::File, true},
        {"a folder of that name", Marker::Folder, false},
        {"a link of that name", Marker::Link, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScratchDir dir;
        const std::string folder = dir.file("lib/kamelo/");
        test::writeFile(folder + "kamelo", "#!/bin/sh\n");
        const std::string marker = folder + PackageOwnership::kMarker;
        if (c.marker == Marker::File)
            test::writeFile(marker, "");
        else if (c.marker == Marker::Folder)
            std::filesystem::create_directories(marker);
        else if (c.marker == Marker::Link)
            std::filesystem::create_symlink(folder + "kamelo", marker);
        EXPECT_EQ(PackageOwnership::managed(folder), c.managed);
    }
    // A folder it cannot write (root writes everywhere).
    if (::geteuid() != 0) {
        test::ScratchDir dir;
        std::filesystem::create_directories(dir.file("ro"));
        ::chmod(dir.file("ro").c_str(), 0555);
        EXPECT_TRUE(PackageOwnership::managed(dir.file("ro/")));
        ::chmod(dir.file("ro").c_str(), 0755);
    }
}

TEST(UpdaterLaunch, CopyKeepsBytesAndModeAndRefusesSpecialFiles) {
    test::ScratchDir dir;
    test::writeFile(dir.file("VelaUpdate"), "#!/bin/sh\nexit 0\n");
    ::chmod(dir.file("VelaUpdate").c_str(), 0751);
    std::string error;
    ASSERT_TRUE(
        UpdaterLaunch::copyFile(dir.file("VelaUpdate"), dir.file("temp.VelaUpdate"), error));
    EXPECT_EQ(test::readFile(dir.file("temp.VelaUpdate")), "#!/bin/sh\nexit 0\n");
    struct stat st {};
    ::stat(dir.file("temp.VelaUpdate").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0751u);
    EXPECT_FALSE(UpdaterLaunch::copyFile(dir.file("missing"), dir.file("x"), error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(UpdaterLaunch::copyFile(dir.file("fifo"), dir.file("y"), error));
    EXPECT_FALSE(std::filesystem::exists(dir.file("y")));
    // Nothing left behind by the failures.
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path()))
        files += e.path().filename().string().rfind("x.", 0) == 0 ? 1 : 0;
    EXPECT_EQ(files, 0);
}

TEST(UpdaterLaunch, StartsWithExactArgumentsInTheFolder) {
    test::ScratchDir dir;
    const std::string folder = dir.file("프로그램 폴더");
    std::filesystem::create_directories(folder);
    test::writeFile(folder + "/fake",
                    "#!/bin/sh\n{ echo \"$0\"; for a in \"$@\"; do echo \"$a\"; done; pwd; } "
                    "> \"$(dirname \"$0\")/out.tmp\"\nmv \"$(dirname \"$0\")/out.tmp\" "
                    "\"$(dirname \"$0\")/out.txt\"\n");
    ::chmod((folder + "/fake").c_str(), 0755);
    std::string error;
    ASSERT_TRUE(
        UpdaterLaunch::startDetached(folder + "/fake", {"/a b/kamelo", "/auto"}, folder, error))
        << error;
    for (int i = 0; i < 2000 && !std::filesystem::exists(folder + "/out.txt"); ++i)
        ::usleep(10000);
    EXPECT_EQ(test::readFile(folder + "/out.txt"),
              folder + "/fake\n/a b/kamelo\n/auto\n" + folder + "\n");
    EXPECT_FALSE(UpdaterLaunch::startDetached(folder + "/none", {}, folder, error));
    EXPECT_NE(error.find("none"), std::string::npos);
}

TEST(InstanceRegistry, EndsOnlyCopiesOfTheProgram) {
    test::ScratchDir dir;
    InstanceRegistry registry(dir.file("instances"));
    const pid_t copy = ::fork();
    if (copy == 0) {
        ::pause();
        ::_exit(0);
    }
    const pid_t other = ::fork();
    if (other == 0) {
        ::execlp("sleep", "sleep", "60", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Give the exec a moment to replace the program of the second child.
    const std::string me = InstanceRegistry::executableOf(::getpid());
    for (int i = 0; i < 500 && InstanceRegistry::executableOf(other) == me; ++i)
        ::usleep(10000);
    ASSERT_TRUE(registry.add(::getpid()));
    ASSERT_TRUE(registry.add(copy));
    ASSERT_TRUE(registry.add(other));
    ASSERT_TRUE(registry.add(999999)); // long gone
    EXPECT_EQ(registry.endOthers(::getpid(), me), (std::vector<pid_t>{copy}));
    int status = 0;
    ASSERT_EQ(::waitpid(copy, &status, 0), copy);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(::waitpid(other, &status, WNOHANG), 0); // still sleeping
    ::kill(other, SIGKILL);
    ::waitpid(other, &status, 0);
    EXPECT_EQ(registry.entries(), (std::vector<pid_t>{::getpid()}));
}
