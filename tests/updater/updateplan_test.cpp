#include "tests/support/scratchdir.h"
#include "updater/crc32file.h"
#include "updater/paths.h"
#include "updater/serverlist.h"
#include "updater/updateplan.h"
#include "updater/updaterstrings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vela;
using kamelo::test::writeFile;

namespace {

struct RecordingHost : PlanHost {
    std::vector<std::string> refused;
    std::vector<std::string> labels;
    std::vector<std::string> questions;
    int retriesAllowed = 0;
    bool ended = false;
    std::string notice;
    bool finished = false;

    void entryRefused(const std::string& path, const std::string&) override {
        refused.push_back(path);
    }
    void setStepLabels(const std::string& a, const std::string& b, const std::string& c) override {
        labels = {a, b, c};
    }
    bool askWriteRetry(const std::string& message) override {
        questions.push_back(message);
        return retriesAllowed-- > 0;
    }
    void endRun() override { ended = true; }
    void showNoUpdateNotice(const std::string& message) override { notice = message; }
    void finish() override { finished = true; }
};

struct ListFile {
    std::string general = "[GENERAL]\n";
    std::string sections;
    int count = 0;

    void add(const std::string& keys) {
        ++count;
        sections += "[FILE_" + std::to_string(count) + "]\n" + keys + "\n";
    }
    std::string text(int declaredCount = -1) const {
        return general + "FILE_COUNT=" + std::to_string(declaredCount < 0 ? count : declaredCount) +
               "\n" + sections;
    }
};

std::string entryFor(const std::string& path, const std::string& installed,
                     const std::string& extra = {}) {
    kamelo::test::ScratchDir tmp;
    writeFile(tmp.file("x"), installed);
    return "PATHNAME=" + path + "\nFILESIZE=" + std::to_string(installed.size()) +
           "\nFILECRC=" + std::to_string(*fileCrc32(tmp.file("x"))) + "\n" + extra;
}

class PlanTest : public ::testing::Test {
protected:
    kamelo::test::ScratchDir install;
    RecordingHost host;
    UpdatePlan plan;

    std::string dir() const { return install.path() + "/"; }
    bool build(const ListFile& list, int declared = -1, PlanOptions options = {}) {
        writeFile(install.file("__TEMP__/list.ini"), list.text(declared));
        return buildPlan(install.file("__TEMP__/list.ini"), dir(), TransportMode{}, plan, host,
                         options);
    }
    std::vector<std::string> paths() const {
        std::vector<std::string> out;
        for (const auto& e : plan.entries)
            out.push_back(e.pathName);
        return out;
    }
};

} // namespace

TEST_F(PlanTest, SameSizeAndCrcIsKeptSameSizeOtherCrcIsPlanned) {
    writeFile(install.file("current.dll"), "abcdef");
    writeFile(install.file("changed.dll"), "abcdef");
    ListFile list;
    list.add(entryFor("current.dll", "abcdef", "FILEVER=9.9.9.9\n"));
    list.add(entryFor("changed.dll", "abcdeX"));
    list.add(entryFor("new.dll", "new"));
    ASSERT_TRUE(build(list));
    EXPECT_EQ(paths(), (std::vector<std::string>{"changed.dll", "new.dll"}));
    EXPECT_EQ(plan.nextDownload, 0u);
    EXPECT_FALSE(host.finished);
}

TEST_F(PlanTest, IfExistDropsMissingFilesButUpdatesInstalledOnes) {
    writeFile(install.file("there.dll"), "old");
    ListFile list;
    list.add(entryFor("absent.dll", "new", "UPDATECONDITION=IFEXIST\n"));
    list.add(entryFor("there.dll", "new", "UPDATECONDITION=IFEXIST\n"));
    list.add(entryFor("lower.dll", "new", "UPDATECONDITION=ifexist\n"));
    ASSERT_TRUE(build(list));
    EXPECT_EQ(paths(), (std::vector<std::string>{"there.dll", "lower.dll"}));
    EXPECT_EQ(plan.entries[0].ifExist, 1);
    EXPECT_EQ(plan.entries[1].ifExist, 0);
}

TEST_F(PlanTest, EntryFieldsAndCaseSensitiveKeywords) {
    ListFile list;
    list.add(entryFor("a.dll", "1", "UPDATETYPE=REPLACE\n"));
    list.add(entryFor("b.dll", "2", "UPDATETYPE=RENAME\n"));
    list.add(entryFor("c.dll", "3", "UPDATETYPE=replace\n"));
    list.add(entryFor("d.dll", "4"));
    list.add(entryFor("e.dll", "5",
                      "COMPRESSTYPE=GZ\nCOMPRESSEDFILESIZE=300\nFILEVER=1.2\n"
                      "RUN_BEFORE_REBOOT=<<system>>\\regsvr32 x\nRUN_AFTER_REBOOT=<<system>>\n"));
    list.add(entryFor("f.dll", "6", "COMPRESSTYPE=gz\n"));
    ASSERT_TRUE(build(list));
    ASSERT_EQ(plan.entries.size(), 6u);
    EXPECT_EQ(plan.entries[0].updateType, kUpdateReplace);
    EXPECT_EQ(plan.entries[1].updateType, kUpdateRename);
    EXPECT_EQ(plan.entries[2].updateType, kUpdateReboot);
    EXPECT_EQ(plan.entries[3].updateType, kUpdateReboot);
    const UpdateEntry& e = plan.entries[4];
    EXPECT_EQ(e.serverName, "e.dll.gz");
    EXPECT_EQ(e.compressedSize, 300);
    EXPECT_EQ(e.version, "1.2");
    EXPECT_EQ(e.runBeforeReboot, "/usr/bin\\regsvr32 x");
    EXPECT_EQ(e.runAfterReboot, "/usr/bin");
    EXPECT_EQ(plan.entries[5].serverName, "");
    EXPECT_FALSE(plan.entries[5].compressed());
}

TEST_F(PlanTest, CrcAbove2To31IsCompared) {
    // Find content whose CRC has the top bit set.
    std::string content = "a";
    kamelo::test::ScratchDir tmp;
    for (;; content += "a") {
        writeFile(tmp.file("x"), content);
        if (*fileCrc32(tmp.file("x")) & 0x80000000u)
            break;
    }
    writeFile(install.file("big.dll"), content);
    ListFile list;
    list.add(entryFor("big.dll", content));
    ASSERT_TRUE(build(list));
    EXPECT_TRUE(plan.entries.empty());
    EXPECT_TRUE(host.finished);
}

TEST_F(PlanTest, UpdaterFilesArePlannedAloneWithTheSelfUpdateLabels) {
    ListFile list;
    for (int i = 0; i < 5; ++i)
        list.add(entryFor("f" + std::to_string(i) + ".dll", "x"));
    list.add(entryFor("velaupdate", "new updater"));
    for (int i = 5; i < 10; ++i)
        list.add(entryFor("f" + std::to_string(i) + ".dll", "x"));
    list.add(entryFor("VUServerList.ini", "[SERVER_1]"));
    ASSERT_TRUE(build(list));
    EXPECT_EQ(paths(), (std::vector<std::string>{"velaupdate", "VUServerList.ini"}));
    EXPECT_TRUE(plan.selfUpdate);
    EXPECT_EQ(host.labels,
              (std::vector<std::string>{std::string(text(Str::STR_SELF_UPDATE_STEP1)),
                                        std::string(text(Str::STR_SELF_UPDATE_STEP2)),
                                        std::string(text(Str::STR_SELF_UPDATE_STEP3))}));
}

TEST_F(PlanTest, CurrentUpdaterDoesNotTriggerSelfUpdate) {
    writeFile(install.file("VelaUpdate"), "same");
    ListFile list;
    list.add(entryFor("VelaUpdate", "same"));
    list.add(entryFor("a.dll", "x"));
    ASSERT_TRUE(build(list));
    EXPECT_EQ(paths(), (std::vector<std::string>{"a.dll"}));
    EXPECT_FALSE(plan.selfUpdate);
    EXPECT_TRUE(host.labels.empty());
}

TEST_F(PlanTest, MissingSectionGivesAnEmptyEntryThatIsKept) {
    ListFile list;
    list.add(entryFor("a.dll", "1"));
    list.sections += "[FILE_3]\n" + entryFor("c.dll", "3") + "\n";
    ASSERT_TRUE(build(list, 3));
    ASSERT_EQ(plan.entries.size(), 3u);
    EXPECT_EQ(plan.entries[1].pathName, "");
    EXPECT_EQ(plan.entries[1].fileSize, 0);
    EXPECT_EQ(destinationOf(dir(), plan.entries[1]), dir());
}

TEST_F(PlanTest, AllCurrentGivesTheNoUpdateNoticeAndFinishes) {
    writeFile(install.file("a.dll"), "1");
    writeFile(install.file("sub/b.dll"), "22");
    ListFile list;
    list.add(entryFor("a.dll", "1"));
    list.add(entryFor("b.dll", "22", "SUBFOLDER=sub\n"));
    ASSERT_TRUE(build(list));
    EXPECT_TRUE(plan.entries.empty());
    EXPECT_EQ(host.notice, text(Str::STR_ALL_UP_TO_DATE));
    EXPECT_TRUE(host.finished);
}

TEST_F(PlanTest, UnusableListsReturnFalse) {
    ListFile list;
    list.add(entryFor("a.dll", "1"));
    EXPECT_FALSE(build(list, 0));
    EXPECT_FALSE(
        buildPlan(install.file("__TEMP__/missing.ini"), dir(), TransportMode{}, plan, host));
    EXPECT_FALSE(build(list, static_cast<int>(kMaxFileCount) + 1));
    writeFile(install.file("__TEMP__/neg.ini"), "[GENERAL]\nFILE_COUNT=-3\n");
    EXPECT_FALSE(buildPlan(install.file("__TEMP__/neg.ini"), dir(), TransportMode{}, plan, host));
    EXPECT_TRUE(plan.entries.empty());
    EXPECT_FALSE(host.finished);
}

TEST_F(PlanTest, SubFoldersAreCreatedOneLevelAndJoined) {
    ListFile list;
    list.add(entryFor("a.bmp", "1", "SUBFOLDER=skin\n"));
    list.add(entryFor("b.bmp", "1", "SUBFOLDER=deep\\er\n"));
    list.add(entryFor("tools\\c.exe", "1"));
    ASSERT_TRUE(build(list));
    struct stat st {};
    EXPECT_EQ(::stat(install.file("skin").c_str(), &st), 0);
    EXPECT_NE(::stat(install.file("deep").c_str(), &st), 0); // one level only
    EXPECT_EQ(destinationOf(dir(), plan.entries[1]), dir() + "deep/er/b.bmp");
    EXPECT_EQ(destinationOf(dir(), plan.entries[2]), dir() + "tools/c.exe");
}

TEST_F(PlanTest, PathsEscapingTheInstallationFolderAreRefused) {
    kamelo::test::ScratchDir outside;
    ListFile list;
    list.add(entryFor("..\\..\\evil.sh", "x"));
    list.add(entryFor("ok.dll", "x"));
    list.add(entryFor("a/../../evil.sh", "x"));
    list.add(entryFor("/etc/evil", "x"));
    list.add(entryFor("evil.sh", "x", "SUBFOLDER=..\n"));
    list.add(entryFor("evil2.sh", "x", "SUBFOLDER=" + outside.path() + "\n"));
    list.add(entryFor("bad.dll", "x", "FILESHA256=abc\n"));
    list.add(entryFor("good.dll", "x", "FILESHA256=" + std::string(64, 'A') + "\n"));
    ASSERT_TRUE(build(list));
    EXPECT_EQ(paths(), (std::vector<std::string>{"ok.dll", "good.dll"}));
    EXPECT_EQ(plan.entries[1].sha256, std::string(64, 'a'));
    EXPECT_EQ(host.refused.size(), 6u);
    struct stat st {};
    EXPECT_NE(::stat((outside.path() + "/evil2.sh").c_str(), &st), 0);
}

TEST_F(PlanTest, WriteCheckAsksUntilCancelledForReplaceEntries) {
    // A folder in the file's place cannot be opened for writing, even by root.
    writeFile(install.file("locked.dll/inside"), "old");
    writeFile(install.file("later.dll/inside"), "old");
    ListFile list;
    list.add(entryFor("locked.dll", "new", "UPDATETYPE=REPLACE\n"));
    list.add(entryFor("later.dll", "new")); // not REPLACE: not checked
    list.add(entryFor("absent.dll", "new", "UPDATETYPE=REPLACE\n"));
    host.retriesAllowed = 2;
    ASSERT_TRUE(build(list));
    ASSERT_EQ(host.questions.size(), 3u);
    EXPECT_EQ(host.questions[0], formatText(Str::STR_NO_WRITE_PERMISSION, {"locked.dll"}));
    EXPECT_TRUE(host.ended);
    EXPECT_TRUE(plan.cancelled);
    EXPECT_FALSE(host.finished);
}

TEST_F(PlanTest, WriteCheckPassesWritableFiles) {
    writeFile(install.file("w.dll"), "old");
    ListFile list;
    list.add(entryFor("w.dll", "new", "UPDATETYPE=REPLACE\n"));
    ASSERT_TRUE(build(list));
    EXPECT_TRUE(host.questions.empty());
    EXPECT_FALSE(plan.cancelled);
    EXPECT_EQ(plan.entries.size(), 1u);
}

TEST_F(PlanTest, DestinationPrefixFollowsTheMode) {
    ListFile list;
    list.general += "DEST_PATH=http://h/files/\nFTP_DEST_PATH=/pub/\nRUN_AFTER_UPDATE=run me\n";
    list.add(entryFor("a.dll", "1"));
    ASSERT_TRUE(build(list));
    EXPECT_EQ(plan.destPrefix, "http://h/files/");
    EXPECT_EQ(plan.runAfterUpdate, "run me");
    writeFile(install.file("__TEMP__/list.ini"), list.text());
    ASSERT_TRUE(buildPlan(install.file("__TEMP__/list.ini"), dir(), TransportMode{false, true},
                          plan, host));
    EXPECT_EQ(plan.destPrefix, "/pub/");
}

TEST(PlanHelpers, LocalListPathAndUpdaterNames) {
    EXPECT_EQ(localFileListPath("/i/__TEMP__/", "http://srv/up/LIST.INI"), "/i/__TEMP__/LIST.INI");
    EXPECT_EQ(localFileListPath("/i/__TEMP__/", "\\pub\\list.ini"), "/i/__TEMP__/list.ini");
    EXPECT_TRUE(isUpdaterFile("VELAUPDATE"));
    EXPECT_TRUE(isUpdaterFile("vuserverlist.ini"));
    EXPECT_FALSE(isUpdaterFile("sub\\VelaUpdate"));
    EXPECT_FALSE(isUpdaterFile("VelaUpdate.dll"));
}

TEST(ServerList, ReadsSectionServer1ByMode) {
    kamelo::test::ScratchDir install;
    writeFile(install.file("VUSERVERLIST.INI"),
              "[SERVER_2]\nHTTPFILE=wrong\n[server_1]\nFTP_IP=ftp.example\nFTP_PORT=2121\n"
              "FTP_USER=kim\nFTP_PASS=secret\nHTTPFILE=http://h/list.ini\nFTPFILE=/pub/list.ini\n");
    ServerSettings http = readServerList(install.path(), TransportMode{});
    EXPECT_EQ(http.ftpAddress, "ftp.example");
    EXPECT_EQ(http.ftpPort, 2121);
    EXPECT_EQ(http.ftpUser, "kim");
    EXPECT_EQ(http.ftpPassword, "secret");
    EXPECT_EQ(http.fileListLocation, "http://h/list.ini");
    ServerSettings ftp = readServerList(install.path(), TransportMode{false, true});
    EXPECT_EQ(ftp.fileListLocation, "/pub/list.ini");
    kamelo::test::ScratchDir empty;
    ServerSettings none = readServerList(empty.path(), TransportMode{});
    EXPECT_EQ(none.fileListLocation, "");
    EXPECT_EQ(none.ftpPort, 0);
}
