#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"
#include "updater/crc32file.h"
#include "updater/fileplace.h"
#include "updater/finishrun.h"
#include "updater/installer.h"
#include "updater/installscript.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace vela;
using kamelo::test::readFile;
using kamelo::test::ScratchDir;
using kamelo::test::writeFile;

namespace {

bool exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

// A child process that holds a lock on a file, as a running program holds
// its files, until release() is called.
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

struct Host : InstallHost, FinishHost {
    int retryAnswersLeft = 0;
    std::vector<std::string> questions;
    std::vector<std::string> commands;
    bool rebootAnswer = false;
    int rebootQuestions = 0;
    std::vector<std::string> messages;
    int cleanups = 0;
    int closes = 0;
    bool askWriteRetry(const std::string& m) override {
        questions.push_back(m);
        return retryAnswersLeft-- > 0;
    }
    void runCommand(const std::string& c) override { commands.push_back(c); }
    bool askRebootNow(const std::string&) override {
        ++rebootQuestions;
        return rebootAnswer;
    }
    void showMessage(const std::string& m) override { messages.push_back(m); }
    void cleanup() override { ++cleanups; }
    void closeRun(bool) override { ++closes; }
};

// Records what would be started; nothing reboots.
struct FakeSystem : SystemActions {
    std::vector<std::vector<std::string>> started;
    std::vector<std::string> logon;
    int reboots = 0;
    bool startDetached(const std::vector<std::string>& argv) override {
        started.push_back(argv);
        return true;
    }
    bool runAtNextLogon(const std::string& script) override {
        logon.push_back(script);
        return true;
    }
    bool requestReboot() override {
        ++reboots;
        return true;
    }
};

UpdateEntry entry(const std::string& name, int type) {
    UpdateEntry e;
    e.pathName = name;
    e.updateType = type;
    return e;
}

class InstallTest : public ::testing::Test {
protected:
    kamelo::test::Watchdog dog{60};
    void SetUp() override {
        install = dir.path() + "/inst dir/";
        temp = install + "__TEMP__/";
        std::filesystem::create_directories(temp);
        context.installFolder = install;
        context.tempFolder = temp;
        context.dialect = ScriptDialect::Posix;
    }
    void stage(const std::string& name, const std::string& installed, const std::string& fresh) {
        if (!installed.empty())
            writeFile(install + name, installed);
        writeFile(temp + name, fresh);
    }
    ScratchDir dir;
    std::string install, temp;
    InstallContext context;
    InstallState state;
    Host host;
    FakeSystem system;
};

pid_t spawnShell(const std::string& script) {
    pid_t pid = -1;
    std::string sh = "/bin/sh";
    char* argv[] = {sh.data(), const_cast<char*>(script.c_str()), nullptr};
    ::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ);
    return pid;
}

} // namespace

TEST(ScriptWriter, WindowsUpdateScriptBytes) {
    const std::string t0 = "C:\\Program Files\\Kamelo\\a.dll";
    const std::string t1 = "C:\\K\\b.exe";
    std::string bytes = updateScriptBlock(ScriptDialect::Windows, 0, t0, t0 + ".new") +
                        updateScriptBlock(ScriptDialect::Windows, 1, t1, t1 + ".new") +
                        scriptFramedCommand(ScriptDialect::Windows, "kamelo.exe") +
                        scriptEnding(ScriptDialect::Windows);
    const std::string expected =
        "@echo off\r\n"
        "if exist \"C:\\Program Files\\Kamelo\\a.dll.new\" goto LOOP0 \r\n"
        "goto END0\r\n"
        "\r\n"
        ":LOOP0\r\n"
        "del \"C:\\Program Files\\Kamelo\\a.dll\"\r\n"
        "if exist \"C:\\Program Files\\Kamelo\\a.dll\" goto LOOP0\r\n"
        "copy \"C:\\Program Files\\Kamelo\\a.dll.new\" \"C:\\Program Files\\Kamelo\\a.dll\"\r\n"
        "del \"C:\\Program Files\\Kamelo\\a.dll.new\" \r\n"
        ":END0\r\n"
        "\r\n\r\n\r\n"
        "if exist \"C:\\K\\b.exe.new\" goto LOOP1 \r\n"
        "goto END1\r\n"
        "\r\n"
        ":LOOP1\r\n"
        "del \"C:\\K\\b.exe\"\r\n"
        "if exist \"C:\\K\\b.exe\" goto LOOP1\r\n"
        "copy \"C:\\K\\b.exe.new\" \"C:\\K\\b.exe\"\r\n"
        "del \"C:\\K\\b.exe.new\" \r\n"
        ":END1\r\n"
        "\r\n\r\n\r\n"
        "\r\nkamelo.exe\r\n"
        "\r\ndel %0";
    EXPECT_EQ(bytes, expected);
}

TEST(ScriptWriter, WindowsRebootScriptBytes) {
    std::string bytes =
        rebootScriptBlock(ScriptDialect::Windows, 0, "C:\\a b\\x.dll", "C:\\a b\\x.dll.new") +
        scriptCommandLine(ScriptDialect::Windows, "regsvr32 x.dll") +
        rebootScriptBlock(ScriptDialect::Windows, 1, "C:\\y", "C:\\y.new") +
        scriptEnding(ScriptDialect::Windows);
    EXPECT_EQ(bytes, "@echo off\r\n"
                     "del \"C:\\a b\\x.dll\"\r\n"
                     "copy \"C:\\a b\\x.dll.new\" \"C:\\a b\\x.dll\"\r\n"
                     "del \"C:\\a b\\x.dll.new\"\r\n"
                     "\r\n\r\n"
                     "regsvr32 x.dll\r\n"
                     "del \"C:\\y\"\r\n"
                     "copy \"C:\\y.new\" \"C:\\y\"\r\n"
                     "del \"C:\\y.new\"\r\n"
                     "\r\n\r\n"
                     "\r\ndel %0");
}

TEST(ScriptWriter, PosixQuotesEveryPath) {
    EXPECT_EQ(scriptQuoted(ScriptDialect::Posix, "/a b/it's"), "'/a b/it'\\''s'");
    const std::string block = updateScriptBlock(ScriptDialect::Posix, 0, "/x y/a", "/x y/a.new");
    EXPECT_EQ(block.rfind("#!/bin/sh\n", 0), 0u);
    EXPECT_NE(block.find("mv -f '/x y/a.new' '/x y/a'"), std::string::npos);
    EXPECT_EQ(updateScriptBlock(ScriptDialect::Posix, 1, "/a", "/a.new").find("#!"),
              std::string::npos);
    EXPECT_EQ(block.find('\r'), std::string::npos);
}

TEST_F(InstallTest, FreeFilesAreReplacedAtOnceWithoutScripts) {
    stage("a.dll", "old a", "new a");
    stage("b.dll", "old b", "new b");
    stage("c.dll", "", "new c");
    UpdatePlan plan;
    plan.entries = {entry("a.dll", kUpdateRename), entry("b.dll", kUpdateReboot),
                    entry("c.dll", kUpdateReplace)};
    auto out = installAll(plan, context, state, host);
    EXPECT_TRUE(out.completed);
    EXPECT_EQ(readFile(install + "a.dll"), "new a");
    EXPECT_EQ(readFile(install + "b.dll"), "new b");
    EXPECT_EQ(readFile(install + "c.dll"), "new c");
    EXPECT_FALSE(state.updateScriptWritten);
    EXPECT_FALSE(state.rebootScriptWritten);
    EXPECT_FALSE(exists(install + "UP.sh"));
    EXPECT_FALSE(exists(install + "REBOOT.sh"));

    // A type 2 file that was free: no question, no reboot, the program restarts.
    FinishContext fc{install, ScriptDialect::Posix, temp + "list.ini", "/opt/k/kamelo"};
    finishRun(fc, state, host, system);
    EXPECT_EQ(host.rebootQuestions, 0);
    EXPECT_EQ(system.reboots, 0);
    ASSERT_EQ(system.started.size(), 1u);
    EXPECT_EQ(system.started[0], std::vector<std::string>{"/opt/k/kamelo"});
    EXPECT_EQ(host.closes, 1);
}

TEST_F(InstallTest, ReplacementKeepsPermissionsAndMakesProgramsRunnable) {
    stage("tool", "#!/bin/sh\nold\n", "#!/bin/sh\nnew\n");
    ::chmod((install + "tool").c_str(), 0750);
    writeFile(temp + "prog", std::string("\x7f"
                                         "ELF....",
                                         8));
    UpdatePlan plan;
    plan.entries = {entry("tool", kUpdateReplace), entry("prog", kUpdateReplace)};
    ASSERT_TRUE(installAll(plan, context, state, host).completed);
    struct stat st {};
    ::stat((install + "tool").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0750u);
    ::stat((install + "prog").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
}

TEST_F(InstallTest, HeldReplaceFileAsksAndCancelTellsWhatWasNotUpdated) {
    stage("a.dll", "old a", "new a");
    stage("b.dll", "old b", "new b");
    stage("c.dll", "old c", "new c");
    Holder holder(install + "b.dll");
    UpdatePlan plan;
    plan.entries = {entry("a.dll", kUpdateReplace), entry("b.dll", kUpdateReplace),
                    entry("c.dll", kUpdateReplace)};
    host.retryAnswersLeft = 1; // OK once, then Cancel
    auto out = installAll(plan, context, state, host);
    EXPECT_FALSE(out.completed);
    EXPECT_EQ(out.notUpdated, (std::vector<std::string>{"b.dll", "c.dll"}));
    ASSERT_EQ(host.questions.size(), 2u);
    EXPECT_NE(host.questions[0].find(install + "b.dll"), std::string::npos);
    EXPECT_NE(host.questions[0].find("쓰기권한이 없는 파일"), std::string::npos);
    EXPECT_EQ(readFile(install + "a.dll"), "new a");
    EXPECT_EQ(readFile(install + "b.dll"), "old b");
    EXPECT_EQ(readFile(install + "c.dll"), "old c");
}

TEST_F(InstallTest, PosixUpdateScriptCompletesOnceTheHolderLetsGo) {
    stage("a b.dll", "old a", "new a");
    stage("x.dll", "old x", "new x");
    std::filesystem::create_directories(install + "sub");
    writeFile(install + "sub/y.dll", "old y");
    writeFile(temp + "y.dll", "new y");
    Holder holdA(install + "a b.dll");
    Holder holdY(install + "sub/y.dll");
    UpdatePlan plan;
    UpdateEntry y = entry("y.dll", kUpdateRename);
    y.subFolder = "sub";
    plan.entries = {entry("a b.dll", kUpdateRename), entry("x.dll", kUpdateRename), y};
    ASSERT_TRUE(installAll(plan, context, state, host).completed);
    EXPECT_EQ(state.updateBlocks, 2);
    EXPECT_EQ(readFile(install + "x.dll"), "new x");
    EXPECT_EQ(readFile(install + "a b.dll.new"), "new a");
    EXPECT_EQ(readFile(install + "sub/y.dll.new"), "new y");

    writeFile(temp + "list.ini", "[GENERAL]\nRUN_AFTER_UPDATE=touch '" + install + "ran'\n");
    FinishContext fc{install, ScriptDialect::Posix, temp + "list.ini", "/not/started"};
    finishRun(fc, state, host, system);
    ASSERT_EQ(system.started.size(), 1u);
    EXPECT_EQ(system.started[0], (std::vector<std::string>{"/bin/sh", install + "UP.sh"}));
    const std::string script = readFile(install + "UP.sh");
    EXPECT_EQ(script.rfind("#!/bin/sh\n", 0), 0u);
    EXPECT_EQ(script.find("#!/bin/sh", 1), std::string::npos);

    pid_t sh = spawnShell(install + "UP.sh");
    ASSERT_GT(sh, 0);
    // The script waits for the holders.
    EXPECT_EQ(::waitpid(sh, nullptr, WNOHANG), 0);
    holdA.release();
    holdY.release();
    int status = 0;
    ASSERT_EQ(::waitpid(sh, &status, 0), sh);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(readFile(install + "a b.dll"), "new a");
    EXPECT_EQ(readFile(install + "sub/y.dll"), "new y");
    EXPECT_FALSE(exists(install + "a b.dll.new"));
    EXPECT_FALSE(exists(install + "sub/y.dll.new"));
    EXPECT_TRUE(exists(install + "ran"));
    EXPECT_FALSE(exists(install + "UP.sh")); // deleted itself
}

TEST_F(InstallTest, HeldRebootFileGoesToTheRebootScriptAndTheQuestion) {
    stage("k.so", "old", "new");
    Holder hold(install + "k.so");
    UpdatePlan plan;
    UpdateEntry e = entry("k.so", kUpdateReboot);
    e.runBeforeReboot = "stop-service";
    e.runAfterReboot = "echo after >> '" + install + "after'";
    plan.entries = {e};
    ASSERT_TRUE(installAll(plan, context, state, host).completed);
    EXPECT_TRUE(state.rebootScriptWritten);
    EXPECT_EQ(host.commands, std::vector<std::string>{"stop-service"});
    EXPECT_EQ(readFile(install + "k.so"), "old");

    FinishContext fc{install, ScriptDialect::Posix, temp + "none.ini", "/opt/k/kamelo"};
    host.rebootAnswer = false;
    finishRun(fc, state, host, system);
    EXPECT_EQ(host.rebootQuestions, 1);
    EXPECT_EQ(system.reboots, 0);
    EXPECT_EQ(system.logon, std::vector<std::string>{install + "REBOOT.sh"});
    EXPECT_EQ(system.started.size(), 1u); // the program to restart

    // At the next logon the script completes the replacement.
    hold.release();
    pid_t sh = spawnShell(install + "REBOOT.sh");
    ::waitpid(sh, nullptr, 0);
    EXPECT_EQ(readFile(install + "k.so"), "new");
    EXPECT_EQ(readFile(install + "after"), "after\n");
    EXPECT_FALSE(exists(install + "REBOOT.sh"));
}

TEST_F(InstallTest, YesToTheRebootCleansUpAndRequestsTheReboot) {
    stage("k.so", "old", "new");
    stage("r.so", "old", "new");
    Holder hold(install + "k.so");
    Holder holdR(install + "r.so");
    UpdatePlan plan;
    plan.entries = {entry("k.so", kUpdateReboot), entry("r.so", kUpdateRename)};
    ASSERT_TRUE(installAll(plan, context, state, host).completed);
    host.rebootAnswer = true;
    FinishContext fc{install, ScriptDialect::Posix, temp + "none.ini", "/opt/k/kamelo"};
    finishRun(fc, state, host, system);
    EXPECT_EQ(system.reboots, 1);
    EXPECT_EQ(host.cleanups, 1);
    EXPECT_EQ(host.messages, std::vector<std::string>{"모든 창을 닫은후 확인 버튼을 눌러 주세요."});
    EXPECT_EQ(system.logon, (std::vector<std::string>{install + "REBOOT.sh", install + "UP.sh"}));
    EXPECT_TRUE(system.started.empty());
}

TEST_F(InstallTest, NothingToUpdateStillStartsTheProgramOrTheCommand) {
    FinishContext fc{install, ScriptDialect::Posix, temp + "list.ini", "/opt/k/kamelo"};
    writeFile(temp + "list.ini", "[GENERAL]\nRUN_AFTER_UPDATE=  \"/opt/my app/run\" -x  \n");
    finishRun(fc, state, host, system);
    fc.programToRestart.clear();
    finishRun(fc, state, host, system);
    ASSERT_EQ(system.started.size(), 2u);
    EXPECT_EQ(system.started[0], std::vector<std::string>{"/opt/k/kamelo"});
    EXPECT_EQ(system.started[1], (std::vector<std::string>{"/opt/my app/run", "-x"}));
}

TEST_F(InstallTest, SelfRestartStartsAFreshCopyWithTheArguments) {
    writeFile(install + "VelaUpdate", "#!/bin/sh\n");
    UpdatePlan plan;
    plan.entries = {entry("VelaUpdate", kUpdateReplace)};
    auto argv = selfRestartCommand(plan, install, "/old/self", {"/opt/k", "/auto"});
    ASSERT_EQ(argv.size(), 3u);
    EXPECT_EQ(argv[0].rfind(install + "~temp.", 0), 0u);
    EXPECT_EQ(readFile(argv[0]), "#!/bin/sh\n");
    EXPECT_EQ(argv[1], "/opt/k");
    EXPECT_EQ(argv[2], "/auto");
    plan.entries = {entry("VUSERVERLIST.INI", kUpdateReplace)};
    EXPECT_EQ(selfRestartCommand(plan, install, "/old/self", {}),
              std::vector<std::string>{"/old/self"});
    deleteTildeFiles(install);
    EXPECT_FALSE(exists(argv[0]));
    EXPECT_TRUE(exists(install + "VelaUpdate"));
}

TEST(FilePlace, ClearTempFolderRemovesOnlyTempFolders) {
    ScratchDir dir;
    const std::string temp = dir.path() + "/__TEMP__/";
    writeFile(temp + "a/b/c.txt", "x");
    writeFile(temp + "top.txt", "x");
    std::filesystem::create_directories(dir.path() + "/keep");
    writeFile(dir.path() + "/keep/file", "x");
    std::filesystem::create_symlink(dir.path() + "/keep", temp + "link");
    clearTempFolder(temp);
    EXPECT_TRUE(std::filesystem::is_empty(temp));
    EXPECT_TRUE(exists(dir.path() + "/keep/file"));
    // Outside a temporary folder sub-folders are emptied but kept.
    writeFile(dir.path() + "/plain/sub/f", "x");
    clearTempFolder(dir.path() + "/plain");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() + "/plain/sub"));
    EXPECT_FALSE(exists(dir.path() + "/plain/sub/f"));
}

TEST(FilePlace, HeldFilesAreNotReplaced) {
    ScratchDir dir;
    writeFile(dir.file("t"), "old");
    writeFile(dir.file("s"), "new");
    {
        Holder hold(dir.file("t"));
        EXPECT_TRUE(isFileHeld(dir.file("t")));
        EXPECT_FALSE(placeFile(dir.path(), dir.file("s"), dir.file("t")));
    }
    EXPECT_FALSE(isFileHeld(dir.file("t")));
    EXPECT_TRUE(placeFile(dir.path(), dir.file("s"), dir.file("t")));
    EXPECT_EQ(readFile(dir.file("t")), "new");
    EXPECT_FALSE(exists(dir.file("s")));
}
