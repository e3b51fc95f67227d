#include "tests/support/scratchdir.h"
#include "updater/crc32file.h"
#include "updater/downloadcheck.h"
#include "updater/planprinter.h"
#include "updater/updaterfuzz.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

using namespace vela;
using kamelo::test::writeFile;

namespace {

std::string run(const std::string& command, int& status) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    status = ::pclose(p);
    return out;
}

} // namespace

TEST(PlanPrinter, LinesNameActionPathSizeAndCrc) {
    UpdateEntry e;
    e.pathName = "a.dll";
    e.fileSize = 12;
    e.crc = 0xDEADBEEF;
    e.updateType = kUpdateReplace;
    EXPECT_EQ(planLine(e), "REPLACE\ta.dll\t12\t3735928559");
    e.subFolder = "skin";
    e.pathName = "blue\\x.bmp";
    e.updateType = kUpdateRename;
    EXPECT_EQ(planLine(e), "RENAME\tskin/blue/x.bmp\t12\t3735928559");
    e.updateType = kUpdateReboot;
    EXPECT_TRUE(planLine(e).starts_with("REBOOT\t"));
}

TEST(PlanPrinter, CommandLinePrintsThePlanAndChangesNothing) {
    kamelo::test::ScratchDir install;
    writeFile(install.file("same.dll"), "same");
    const uint32_t crc = *fileCrc32(install.file("same.dll"));
    writeFile(install.file("list.ini"),
              "[GENERAL]\nFILE_COUNT=3\n[FILE_1]\nPATHNAME=same.dll\nFILESIZE=4\nFILECRC=" +
                  std::to_string(crc) +
                  "\n[FILE_2]\nPATHNAME=new.dll\nFILESIZE=9\nFILECRC=1\nSUBFOLDER=plugins\n"
                  "UPDATETYPE=REPLACE\n[FILE_3]\nPATHNAME=..\\..\\escape\nFILESIZE=1\n");
    int status = 0;
    const std::string out = run("'" VELA_BIN_DIR "/VelaUpdate' --plan '" + install.path() + "' '" +
                                    install.file("list.ini") + "' 2>/dev/null",
                                status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(out, "REPLACE\tplugins/new.dll\t9\t1\n");
    struct stat st {};
    EXPECT_NE(::stat(install.file("plugins").c_str(), &st), 0); // not created

    run("'" VELA_BIN_DIR "/VelaUpdate' --plan '" + install.path() + "' '" +
            install.file("none.ini") + "' 2>/dev/null",
        status);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    run("'" VELA_BIN_DIR "/VelaUpdate' --plan 2>/dev/null", status);
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

TEST(DownloadCheck, SizeCrcAndOptionalSha256) {
    kamelo::test::ScratchDir dir;
    writeFile(dir.file("f"), "abc");
    UpdateEntry e;
    e.fileSize = 3;
    e.crc = *fileCrc32(dir.file("f"));
    EXPECT_TRUE(matchesEntry(dir.file("f"), e));
    e.sha256 = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    EXPECT_EQ(fileSha256(dir.file("f")), e.sha256);
    EXPECT_TRUE(matchesEntry(dir.file("f"), e));
    e.sha256[0] = 'c';
    EXPECT_FALSE(matchesEntry(dir.file("f"), e));
    e.sha256.clear();
    e.crc ^= 1;
    EXPECT_FALSE(matchesEntry(dir.file("f"), e));
    EXPECT_FALSE(matchesEntry(dir.file("missing"), e));
    EXPECT_EQ(fileSha256(dir.path()), "");
}

// Every kept input of the updater's fuzz targets is replayed.
TEST(UpdaterFuzzCorpus, EveryKeptInputIsHandled) {
    namespace fs = std::filesystem;
    for (const auto& entry : kamelo::fuzz::kUpdaterEntries) {
        const fs::path dir = fs::path(VELA_SOURCE_DIR) / "fuzz" / "corpus" / entry.name;
        int replayed = 0;
        for (const auto& file : fs::directory_iterator(dir)) {
            std::ifstream in(file.path(), std::ios::binary);
            std::stringstream bytes;
            bytes << in.rdbuf();
            const std::string data = bytes.str();
            SCOPED_TRACE(file.path().string());
            entry.run(reinterpret_cast<const uint8_t*>(data.data()), data.size());
            ++replayed;
        }
        EXPECT_GT(replayed, 0) << entry.name;
    }
}
