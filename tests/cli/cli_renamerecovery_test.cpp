#include "tests/cli/clirunner.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <unistd.h>

using namespace kamelo::test;
namespace fs = std::filesystem;

namespace {

using Files = std::map<std::string, std::string>;

Files files(const ScratchDir& dir) {
    Files out;
    for (const auto& e : fs::directory_iterator(dir.file("p")))
        out[e.path().filename().string()] = readFile(e.path().string());
    return out;
}

// kamelo-cli started with the rename seam set to stop it after `steps`
// renames; its id once it has stopped there, or -1.
pid_t stoppedRename(const ScratchDir& dir, const std::vector<std::string>& args, int steps) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(::open("/dev/null", O_WRONLY), 2);
        ::setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
        ::setenv("KAMELO_TEST_RENAME_STOP_AFTER", std::to_string(steps).c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(KAMELO_CLI)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(KAMELO_CLI, argv.data());
        ::_exit(127);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, WUNTRACED) == pid && WIFSTOPPED(status) ? pid : -1;
}

} // namespace

TEST(CliRenameRecovery, AKilledRenameIsUndoneTheNextTimeTheFolderIsRenamed) {
    const struct {
        const char* what;
        std::vector<std::string> names; // in the order given to the command
        std::vector<std::string> options;
        int steps; // renames the plan makes
        Files renamed;
    } rows[] = {
        {"a cycle through a temporary name",
         {"1.jpg", "2.jpg", "0.jpg"},
         {"#"},
         4,
         {{"0.jpg", "was 1.jpg"}, {"1.jpg", "was 2.jpg"}, {"2.jpg", "was 0.jpg"}}},
        {"a chain into names freed first",
         {"1.jpg", "2.jpg"},
         {"--start", "2", "#"},
         2,
         {{"2.jpg", "was 1.jpg"}, {"3.jpg", "was 2.jpg"}}},
        {"independent names",
         {"a.jpg", "b.jpg"},
         {"x#"},
         2,
         {{"x0.jpg", "was a.jpg"}, {"x1.jpg", "was b.jpg"}}},
    };
    for (const auto& row : rows) {
        for (int killedAfter = 0; killedAfter <= row.steps; ++killedAfter) {
            SCOPED_TRACE(std::string(row.what) + ", killed after " + std::to_string(killedAfter));
            ScratchDir dir;
            Files original;
            std::vector<std::string> args{"rename"};
            args.insert(args.end(), row.options.begin(), row.options.end());
            for (const std::string& n : row.names) {
                writeFile(dir.file("p/" + n), "was " + n);
                original[n] = "was " + n;
                args.push_back(dir.file("p/" + n));
            }
            std::vector<std::string> dryRun = args;
            dryRun.insert(dryRun.begin() + 1, "--dry-run");
            const pid_t pid = stoppedRename(dir, args, killedAfter);
            ASSERT_GT(pid, 0);
            // A rename still running is left alone.
            const Files halfway = files(dir);
            runCli(dir, dryRun, CliStreams::Both);
            EXPECT_EQ(files(dir), halfway);
            EXPECT_EQ(halfway.count(".kamelo-rename-journal"), 1u);
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);

            // Once it is gone, opening the folder to rename puts the old
            // names back, and the rename can be made again.
            const CliResult check = runCli(dir, dryRun, CliStreams::Both);
            EXPECT_EQ(check.code, 0) << check.out;
            EXPECT_EQ(files(dir), original);
            EXPECT_EQ(check.out.find("원래 이름으로 되돌렸습니다") != std::string::npos,
                      killedAfter > 0)
                << check.out;
            const CliResult again = runCli(dir, args, CliStreams::Both);
            EXPECT_EQ(again.code, 0) << again.out;
            EXPECT_EQ(files(dir), row.renamed);
        }
    }
}
