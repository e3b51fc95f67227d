#include "publish.h"
#include "serverprocess.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace vela::test;
using kamelo::test::readFile;
using kamelo::test::writeFile;

namespace {

bool exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

void nap() {
    ::usleep(50000);
}

// The processes whose program lies in `folder`, with their states.
std::vector<std::pair<pid_t, char>> processesIn(const std::string& folder) {
    std::vector<std::pair<pid_t, char>> found;
    DIR* proc = ::opendir("/proc");
    while (dirent* e = proc ? ::readdir(proc) : nullptr) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9')
            continue;
        char target[4096];
        const std::string base = std::string("/proc/") + e->d_name;
        ssize_t n = ::readlink((base + "/exe").c_str(), target, sizeof target - 1);
        if (n <= 0 || std::string(target, static_cast<size_t>(n)).rfind(folder, 0) != 0)
            continue;
        std::ifstream stat(base + "/stat");
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(')');
        if (close != std::string::npos && close + 2 < line.size())
            found.emplace_back(std::atoi(e->d_name), line[close + 2]);
    }
    if (proc)
        ::closedir(proc);
    return found;
}

// A child process that keeps a lock on a file, as a running program does.
class Holder {
public:
    explicit Holder(const std::string& path) {
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        EXPECT_EQ(::pipe(release_), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(release_[1]);
            ::close(ready[0]);
            int fd = ::open(path.c_str(), O_RDONLY);
            ::flock(fd, LOCK_EX);
            char c = 1;
            (void)!::write(ready[1], &c, 1);
            (void)!::read(release_[0], &c, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release_[0]);
        char c;
        EXPECT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);
    }
    void release() {
        if (pid_ <= 0)
            return;
        char c = 1;
        (void)!::write(release_[1], &c, 1);
        ::close(release_[1]);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    ~Holder() { release(); }

private:
    pid_t pid_ = -1;
    int release_[2] = {-1, -1};
};

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::string why;
        ASSERT_TRUE(server.start({systemPython(), serverScript("httpserver.py"), www.path()}, why))
            << why;
        inst = scratch.path() + "/Kamelo inst/";
        std::filesystem::create_directories(inst);
        updater = readFile(std::string(VELA_BIN_DIR) + "/VelaUpdate");
        ASSERT_FALSE(updater.empty());
        writeServerList(inst, server.port());
        // The program to restart: a script that records that it ran.
        program = scratch.path() + "/my prog/restart me";
        writeFile(program, "#!/bin/sh\necho ran >> '" + scratch.path() + "/restarted'\n");
        ::chmod(program.c_str(), 0755);
        a = patterned(200000, 1);
        b = patterned(300, 2);
        c = patterned(40000, 3);
        same = patterned(5000, 4);
        writeFile(inst + "a.dll", "old a");
        writeFile(inst + "same.dll", same);
    }
    void TearDown() override {
        for (auto [pid, state] : processesIn(inst))
            ::kill(pid, SIGKILL);
        if (first > 0)
            ::waitpid(first, nullptr, 0);
    }
    void installUpdater(const std::string& bytes) {
        writeFile(inst + "VelaUpdate", bytes);
        ::chmod((inst + "VelaUpdate").c_str(), 0755);
    }
    // Starts the installed updater as the photo program does.
    void startUpdater(const char* stopPoint = nullptr) {
        if (first > 0)
            ::waitpid(first, nullptr, 0);
        if (stopPoint)
            ::setenv("VELA_UPDATE_TEST_STOP", stopPoint, 1);
        else
            ::unsetenv("VELA_UPDATE_TEST_STOP");
        const std::string exe = inst + "VelaUpdate";
        std::string autoArg = "/auto";
        char* argv[] = {const_cast<char*>(exe.c_str()), program.data(), autoArg.data(), nullptr};
        ASSERT_EQ(::posix_spawn(&first, exe.c_str(), nullptr, nullptr, argv, environ), 0);
        ::unsetenv("VELA_UPDATE_TEST_STOP");
    }
    // Waits until the updater has stopped itself at the test's point, then
    // kills it the hard way.
    void killWhenStopped() {
        for (;;) {
            for (auto [pid, state] : processesIn(inst)) {
                if (state == 'T' || state == 't') {
                    ::kill(pid, SIGKILL);
                    while (!processesIn(inst).empty())
                        nap();
                    return;
                }
            }
            nap();
        }
    }
    void waitForTheRun() {
        while (!exists(scratch.path() + "/restarted"))
            nap();
        while (!processesIn(inst).empty() || exists(inst + "__TEMP__"))
            nap();
    }
    void expectInstalled() {
        EXPECT_TRUE(readFile(inst + "a.dll") == a);
        EXPECT_TRUE(readFile(inst + "b.dll") == b);
        EXPECT_TRUE(readFile(inst + "plug/c.dll") == c);
        EXPECT_TRUE(readFile(inst + "same.dll") == same);
        EXPECT_EQ(readFile(scratch.path() + "/restarted"), "ran\n");
        for (const auto& e : std::filesystem::directory_iterator(inst)) {
            const std::string name = e.path().filename().string();
            EXPECT_NE(name[0], '~') << name;
            EXPECT_FALSE(name.ends_with(".new")) << name;
            EXPECT_NE(name, "UP.sh");
        }
    }
    std::vector<Published> files() {
        return {{"a.dll", a},
                {"b.dll", b, true},
                {"c.dll", c, true, "REPLACE", "plug"},
                {"same.dll", same}};
    }

    kamelo::test::Watchdog watchdog{200};
    kamelo::test::ScratchDir scratch, www;
    ServerProcess server;
    std::string inst, updater, program, a, b, c, same;
    pid_t first = -1;
};

} // namespace

TEST_F(EndToEnd, SelfUpdateThenFilesAndADeferredReplacement) {
    // The installed updater differs from the published one, so it replaces
    // itself first and restarts.
    installUpdater(updater + "older build");
    const std::string heldNew = patterned(12345, 5);
    writeFile(inst + "held.dll", "old held");
    auto list = files();
    list.emplace_back("VelaUpdate", updater, false, "REPLACE");
    list.emplace_back("held.dll", heldNew);
    publish(www.path(), server.port(), list);
    Holder holder(inst + "held.dll");

    startUpdater();
    // The file in use gets its side file and the update script, which
    // waits for the holder.
    while (!exists(inst + "held.dll.new") ||
           readFile(inst + "UP.sh").find("rm -f -- \"$0\"") == std::string::npos)
        nap();
    EXPECT_TRUE(readFile(inst + "held.dll.new") == heldNew);
    EXPECT_EQ(readFile(inst + "held.dll"), "old held");
    EXPECT_FALSE(exists(scratch.path() + "/restarted"));
    holder.release();

    waitForTheRun();
    while (exists(inst + "UP.sh"))
        nap();
    expectInstalled();
    EXPECT_TRUE(readFile(inst + "VelaUpdate") == updater);
    EXPECT_TRUE(readFile(inst + "held.dll") == heldNew);
}

TEST_F(EndToEnd, KilledDuringADownloadTheNextRunCompletes) {
    installUpdater(updater);
    publish(www.path(), server.port(), files());
    startUpdater("download");
    killWhenStopped();
    EXPECT_EQ(readFile(inst + "a.dll"), "old a");
    startUpdater();
    waitForTheRun();
    expectInstalled();
}

TEST_F(EndToEnd, KilledDuringInstallationTheNextRunCompletes) {
    installUpdater(updater);
    publish(www.path(), server.port(), files());
    startUpdater("install");
    killWhenStopped();
    // Part of the update is in place, the rest is not.
    EXPECT_TRUE(readFile(inst + "a.dll") == a);
    EXPECT_FALSE(exists(inst + "b.dll"));
    startUpdater();
    waitForTheRun();
    expectInstalled();
}

TEST_F(EndToEnd, ParenthesisedCommandRunsWithoutAWindow) {
    installUpdater(updater);
    // Run as a "~" copy directly, past the self-copy step.
    const std::string copy = inst + "~temp.test";
    writeFile(copy, updater);
    ::chmod(copy.c_str(), 0755);
    const std::string marker = scratch.path() + "/paren";
    std::string arg = "(touch " + marker + ")";
    char* argv[] = {const_cast<char*>(copy.c_str()), arg.data(), nullptr};
    ASSERT_EQ(::posix_spawn(&first, copy.c_str(), nullptr, nullptr, argv, environ), 0);
    int status = 0;
    ::waitpid(first, &status, 0);
    first = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    while (!exists(marker))
        nap();
    EXPECT_FALSE(exists(inst + "__TEMP__"));
}
