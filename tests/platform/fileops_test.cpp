#include "platform/core/fileops.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kamelo;
using kamelo::test::readFile;
using kamelo::test::ScratchDir;
using kamelo::test::writeFile;
namespace fs = std::filesystem;

TEST(FileOps, CopyAndMoveIntoAFolder) {
    ScratchDir dir;
    writeFile(dir.file("src/a.jpg"), "aaa");
    writeFile(dir.file("src/album/b.jpg"), "bbb");
    fs::create_directories(dir.file("dst"));
    FileOps::Outcome o =
        FileOps::copyInto({dir.file("src/a.jpg"), dir.file("src/album")}, dir.file("dst"), false);
    ASSERT_FALSE(o.error) << o.error.code;
    EXPECT_EQ(readFile(dir.file("dst/a.jpg")), "aaa");
    EXPECT_EQ(readFile(dir.file("dst/album/b.jpg")), "bbb");
    EXPECT_TRUE(fs::exists(dir.file("src/a.jpg")));
    EXPECT_EQ(o.done.size(), 2u);
    for (const auto& e : fs::directory_iterator(dir.file("dst")))
        EXPECT_EQ(e.path().filename().string().rfind(".kamelo-copy", 0), std::string::npos);

    fs::create_directories(dir.file("moved"));
    o = FileOps::copyInto({dir.file("src/a.jpg"), dir.file("src/album")}, dir.file("moved"), true);
    ASSERT_FALSE(o.error);
    EXPECT_FALSE(fs::exists(dir.file("src/a.jpg")));
    EXPECT_FALSE(fs::exists(dir.file("src/album")));
    EXPECT_EQ(readFile(dir.file("moved/album/b.jpg")), "bbb");
}

TEST(FileOps, OwnFolderAndNameClashes) {
    ScratchDir dir;
    writeFile(dir.file("f/p.jpg"), "one");
    // Copy onto itself: a copy with its own name; move onto itself: nothing.
    FileOps::Outcome o = FileOps::copyInto({dir.file("f/p.jpg")}, dir.file("f"), false);
    ASSERT_FALSE(o.error);
    EXPECT_EQ(readFile(dir.file("f/p - 복사본.jpg")), "one");
    o = FileOps::copyInto({dir.file("f/p.jpg")}, dir.file("f"), false);
    EXPECT_TRUE(fs::exists(dir.file("f/p - 복사본 (2).jpg")));
    o = FileOps::copyInto({dir.file("f/p.jpg")}, dir.file("f"), true);
    EXPECT_TRUE(o.done.empty());
    EXPECT_EQ(readFile(dir.file("f/p.jpg")), "one");
    // A folder into itself is left out.
    fs::create_directories(dir.file("f/inner"));
    o = FileOps::copyInto({dir.file("f")}, dir.file("f/inner"), false);
    EXPECT_TRUE(o.done.empty());

    writeFile(dir.file("g/p.jpg"), "two");
    int asked = 0;
    FileOps::Callbacks skip;
    skip.clash = [&](const std::string& target) {
        ++asked;
        EXPECT_EQ(target, dir.file("g/p.jpg"));
        return FileOps::Clash::Skip;
    };
    o = FileOps::copyInto({dir.file("f/p.jpg")}, dir.file("g"), true, skip);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(readFile(dir.file("g/p.jpg")), "two");
    EXPECT_EQ(readFile(dir.file("f/p.jpg")), "one"); // skipped: the source stays

    FileOps::Callbacks overwrite;
    overwrite.clash = [](const std::string&) { return FileOps::Clash::Overwrite; };
    o = FileOps::copyInto({dir.file("f/p.jpg")}, dir.file("g"), true, overwrite);
    ASSERT_FALSE(o.error);
    EXPECT_EQ(readFile(dir.file("g/p.jpg")), "one");
    EXPECT_FALSE(fs::exists(dir.file("f/p.jpg")));

    FileOps::Callbacks cancel;
    cancel.clash = [](const std::string&) { return FileOps::Clash::Cancel; };
    writeFile(dir.file("h/p.jpg"), "three");
    o = FileOps::copyInto({dir.file("h/p.jpg")}, dir.file("g"), false, cancel);
    EXPECT_TRUE(o.cancelled);
    EXPECT_EQ(readFile(dir.file("g/p.jpg")), "one");
}

TEST(FileOps, FailuresPartWayLoseNothing) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    ScratchDir dir;
    writeFile(dir.file("src/a.jpg"), "a");
    writeFile(dir.file("src/b.jpg"), "b");
    fs::create_directories(dir.file("ro"));
    ::chmod(dir.file("ro").c_str(), 0555);
    FileOps::Outcome o =
        FileOps::copyInto({dir.file("src/a.jpg"), dir.file("src/b.jpg")}, dir.file("ro"), true);
    ::chmod(dir.file("ro").c_str(), 0755);
    EXPECT_EQ(o.error.code, EACCES);
    EXPECT_EQ(readFile(dir.file("src/a.jpg")), "a");
    EXPECT_EQ(readFile(dir.file("src/b.jpg")), "b");
}

TEST(FileOps, AFullDiskPartWayLosesNothing) {
    ScratchDir dir;
    writeFile(dir.file("src/small.jpg"), std::string(100, 's'));
    writeFile(dir.file("src/big.jpg"), std::string(5000, 'b'));
    // Another volume when there is one, so that the move has to copy.
    const std::string other = fs::exists("/dev/shm") ? "/dev/shm" : dir.path();
    const std::string dst = other + "/kamelo-fileops-" + std::to_string(::getpid());
    fs::create_directories(dst);
    const pid_t child = ::fork();
    if (child == 0) {
        // Files may grow to 1000 bytes: the second copy runs out of room.
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const FileOps::Outcome o =
            FileOps::copyInto({dir.file("src/small.jpg"), dir.file("src/big.jpg")}, dst, true);
        ::_exit(o.error.code == EFBIG && o.error.path == dst + "/big.jpg" ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // The small file moved whole; the big one is still at its source, and no
    // half-written copy is left anywhere.
    EXPECT_EQ(readFile(dst + "/small.jpg"), std::string(100, 's'));
    EXPECT_EQ(readFile(dir.file("src/big.jpg")), std::string(5000, 'b'));
    EXPECT_FALSE(fs::exists(dst + "/big.jpg"));
    for (const auto& e : fs::directory_iterator(dst))
        EXPECT_EQ(e.path().filename().string().rfind(".kamelo-copy", 0), std::string::npos);
    fs::remove_all(dst);
}

TEST(FileOps, AVanishedSourceStopsWithItsNameAndKeepsTheRest) {
    ScratchDir dir;
    writeFile(dir.file("src/a.jpg"), "a");
    fs::create_directories(dir.file("dst"));
    FileOps::Outcome o =
        FileOps::copyInto({dir.file("src/gone.jpg"), dir.file("src/a.jpg")}, dir.file("dst"), true);
    EXPECT_EQ(o.error.code, ENOENT);
    EXPECT_EQ(o.error.path, dir.file("src/gone.jpg"));
    EXPECT_EQ(readFile(dir.file("src/a.jpg")), "a");
}

TEST(FileOps, CancellingStopsBetweenFiles) {
    ScratchDir dir;
    for (const char* n : {"1.jpg", "2.jpg", "3.jpg"})
        writeFile(dir.file(std::string("src/") + n), std::string(1000, 'x'));
    fs::create_directories(dir.file("dst"));
    FileOps::Callbacks cb;
    int calls = 0;
    cb.progress = [&](uint64_t done, uint64_t total) {
        EXPECT_EQ(total, 3000u);
        EXPECT_LE(done, total);
        return ++calls < 3;
    };
    FileOps::Outcome o =
        FileOps::copyInto({dir.file("src/1.jpg"), dir.file("src/2.jpg"), dir.file("src/3.jpg")},
                          dir.file("dst"), false, cb);
    EXPECT_TRUE(o.cancelled);
    EXPECT_LT(o.done.size(), 3u);
    for (const std::string& t : o.done)
        EXPECT_EQ(fs::file_size(t), 1000u); // whatever arrived is complete
}

TEST(FileOps, RenameNeverReplacesAndFoldersAreMadeOnce) {
    ScratchDir dir;
    writeFile(dir.file("a.jpg"), "a");
    writeFile(dir.file("b.jpg"), "b");
    EXPECT_EQ(FileOps::rename(dir.file("a.jpg"), dir.file("b.jpg")).code, EEXIST);
    EXPECT_EQ(readFile(dir.file("b.jpg")), "b");
    EXPECT_FALSE(FileOps::rename(dir.file("a.jpg"), dir.file("c.jpg")));
    EXPECT_FALSE(FileOps::makeFolder(dir.file("new")));
    EXPECT_EQ(FileOps::makeFolder(dir.file("new")).code, EEXIST);
    EXPECT_FALSE(FileOps::removePermanently(dir.file("new")));
    EXPECT_TRUE(FileOps::isInside(dir.file("x/y"), dir.file("x")));
    EXPECT_FALSE(FileOps::isInside(dir.file("xy"), dir.file("x")));
}
