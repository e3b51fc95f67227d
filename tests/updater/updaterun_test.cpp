#include "publish.h"
#include "serverprocess.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"
#include "updater/updaterstrings.h"
#include "updater/updaterun.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace vela;
using namespace vela::test;
using kamelo::test::readFile;
using kamelo::test::writeFile;

namespace {

bool exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

// Records what the window would show; answers the questions.
struct View : RunView {
    std::vector<int> steps;
    std::vector<QString> statuses, messages, notices, names;
    std::vector<std::vector<QString>> rows;
    std::vector<int> progress;
    bool closed = false, closedOk = false;
    void setStatus(const QString& t) override { statuses.push_back(t); }
    void setCurrentStep(int p) override { steps.push_back(p); }
    void setStepLabels(const QString&, const QString&, const QString&) override {}
    void setDownloadName(const QString& n) override { names.push_back(n); }
    void setProgress(int p) override { progress.push_back(p); }
    void addResultRow(const QString& n, const QString& s, const QString& v) override {
        rows.push_back({n, s, v});
    }
    void notify(const QString& m, bool) override { notices.push_back(m); }
    void showMessage(const QString& m) override { messages.push_back(m); }
    void showFailure(const QString& m) override { messages.push_back(m); }
    bool askOkCancel(const QString& m) override {
        messages.push_back(m);
        return false;
    }
    bool askYesNo(const QString&) override { return false; }
    void closeView(bool ok) override {
        closed = true;
        closedOk = ok;
    }
};

struct FakeSystem : SystemActions {
    std::vector<std::vector<std::string>> started;
    bool startDetached(const std::vector<std::string>& argv) override {
        started.push_back(argv);
        return true;
    }
    bool runAtNextLogon(const std::string&) override { return true; }
    bool requestReboot() override {
        ADD_FAILURE() << "no test reboots";
        return false;
    }
};

QString q(Str id) {
    return QString::fromUtf8(text(id).data(), static_cast<qsizetype>(text(id).size()));
}

class RunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureCoreApplication();
        std::string why;
        ASSERT_TRUE(server.start({systemPython(), serverScript("httpserver.py"), www.path()}, why))
            << why;
        inst = install.path() + "/";
        writeServerList(install.path(), server.port());
        writeFile(inst + "a.dll", "old a");
        writeFile(inst + "same.dll", patterned(5000, 9));
    }
    void run() {
        RunOptions options;
        options.installFolder = inst;
        options.programToRestart = "/opt/kamelo/kamelo";
        UpdateRun r(options, view, system);
        r.open();
        r.start();
        spinUntil([&] { return view.closed; });
        r.cleanupOnClose();
        temp = r.tempFolder();
    }
    kamelo::test::Watchdog watchdog{120};
    kamelo::test::ScratchDir install, www;
    ServerProcess server;
    std::string inst, temp;
    View view;
    FakeSystem system;
};

} // namespace

TEST(SizeColumn, KilobytesWithABlank) {
    EXPECT_EQ(sizeColumnText(300), "1Kb ");
    EXPECT_EQ(sizeColumnText(0), "1Kb ");
    EXPECT_EQ(sizeColumnText(1023), "1Kb ");
    EXPECT_EQ(sizeColumnText(1024), "1Kb ");
    EXPECT_EQ(sizeColumnText(2047), "1Kb ");
    EXPECT_EQ(sizeColumnText(2048), "2Kb ");
}

TEST_F(RunTest, UpdatesPlainGzipAndSubFolderFilesAndRestartsTheProgram) {
    const std::string a = patterned(70000, 1), b = patterned(300, 2), c = patterned(9000, 3);
    publish(www.path(), server.port(),
            {{"a.dll", a},
             {"b.dll", b, true},
             {"c.dll", c, false, "REPLACE", "plug"},
             {"same.dll", patterned(5000, 9)}});
    run();
    EXPECT_TRUE(view.closedOk);
    EXPECT_TRUE(view.messages.empty()) << view.messages[0].toStdString();
    EXPECT_EQ(readFile(inst + "a.dll"), a);
    EXPECT_EQ(readFile(inst + "b.dll"), b);
    EXPECT_EQ(readFile(inst + "plug/c.dll"), c);
    ASSERT_EQ(view.rows.size(), 3u); // same.dll is current
    EXPECT_EQ(view.rows[1][0], "b.dll");
    EXPECT_EQ(view.rows[1][1], "1Kb ");
    EXPECT_EQ(view.rows[0][1], "68Kb ");
    EXPECT_EQ(view.rows[2][2], "1.0.3");
    EXPECT_EQ(view.notices, std::vector<QString>{q(Str::STR_UPDATE_DONE)});
    ASSERT_EQ(system.started.size(), 1u);
    EXPECT_EQ(system.started[0], std::vector<std::string>{"/opt/kamelo/kamelo"});
    EXPECT_EQ(view.steps.front(), 1);
    EXPECT_EQ(view.steps.back(), 3);
    EXPECT_FALSE(exists(temp));
}

TEST_F(RunTest, NothingToUpdateStillRestartsTheProgram) {
    publish(www.path(), server.port(), {{"same.dll", patterned(5000, 9)}});
    run();
    EXPECT_EQ(view.notices, std::vector<QString>{q(Str::STR_ALL_UP_TO_DATE)});
    ASSERT_EQ(system.started.size(), 1u);
    EXPECT_EQ(system.started[0], std::vector<std::string>{"/opt/kamelo/kamelo"});
    EXPECT_TRUE(view.rows.empty());
}

TEST_F(RunTest, CorruptGzipInstallsNothing) {
    publish(www.path(), server.port(),
            {{"a.dll", patterned(7000, 1)},
             {"b.dll", patterned(90000, 2), true, "RENAME", "", 0, true}});
    run();
    EXPECT_FALSE(view.closedOk);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_TRUE(view.messages[0].startsWith(
        "파일(b.dll.gz)의 압축을 푸는 과정에서 오류가 발생 하였습니다. - "))
        << view.messages[0].toStdString();
    EXPECT_EQ(readFile(inst + "a.dll"), "old a");
    EXPECT_FALSE(exists(inst + "b.dll"));
    EXPECT_TRUE(system.started.empty());
    EXPECT_FALSE(exists(temp));
}

TEST_F(RunTest, SizeOrCrcMismatchInstallsNothing) {
    publish(www.path(), server.port(),
            {{"a.dll", patterned(7000, 1)}, {"b.dll", patterned(9000, 2), false, "RENAME", "", 5}});
    run();
    EXPECT_FALSE(view.closedOk);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0],
              QString::fromStdString(formatText(Str::STR_HASH_MISMATCH, {"b.dll"})));
    EXPECT_EQ(readFile(inst + "a.dll"), "old a");
    EXPECT_FALSE(exists(inst + "b.dll"));

    // A gzip file whose content is not the listed one.
    view = View();
    publish(www.path(), server.port(), {{"b.dll", patterned(9000, 2), true, "RENAME", "", 5}});
    run();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0],
              QString::fromStdString(formatText(Str::STR_HASH_MISMATCH, {"b.dll"})));
    EXPECT_FALSE(exists(inst + "b.dll"));
}

TEST_F(RunTest, MissingListIsReported) {
    run();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0], q(Str::STR_LIST_FETCH_FAILED));
    EXPECT_TRUE(system.started.empty());
}

TEST_F(RunTest, LeftoversOfAKilledRunAreNeverInstalled) {
    const std::string a = patterned(7000, 1);
    publish(www.path(), server.port(), {{"a.dll", a}});
    // A half-written download of a killed run.
    writeFile(inst + "__TEMP__/a.dll", a.substr(0, 100));
    writeFile(inst + "__TEMP__/stale.dll", "x");
    run();
    EXPECT_EQ(readFile(inst + "a.dll"), a);
    EXPECT_FALSE(exists(inst + "stale.dll"));
}
