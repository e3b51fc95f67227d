#include "platform/core/fileops.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kamelo;
using kamelo::test::readFile;
using kamelo::test::ScratchDir;
using kamelo::test::writeFile;
namespace fs = std::filesystem;

using kamelo::test::Watchdog;

namespace {

// A copy that blocks on a FIFO or recurses without end fails the test
// instead of hanging it.

FileOps::Callbacks answering(FileOps::Clash answer) {
    FileOps::Callbacks cb;
    cb.clash = [answer](const std::string&) { return answer; };
    return cb;
}

ino_t inode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

bool hasCopyLeftovers(const std::string& folder) {
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.path().filename().string().rfind(".kamelo-copy", 0) == 0)
            return true;
    return false;
}

// A folder on another volume than the scratch folder, so that a move must copy.
struct OtherVolumeDir {
    std::string path;
    OtherVolumeDir() {
        const std::string base = fs::exists("/dev/shm") ? "/dev/shm" : fs::temp_directory_path();
        path = base + "/kamelo-fileops-" + std::to_string(::getpid());
        fs::create_directories(path);
    }
    ~OtherVolumeDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

// Without root: a user namespace of its own, keeping the user's ids, in
// which this process may mount.
bool ownUserNamespace() {
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return false;
    const auto put = [](const char* file, const std::string& text) {
        FILE* f = std::fopen(file, "w");
        const bool ok = f && std::fputs(text.c_str(), f) >= 0;
        return f && std::fclose(f) == 0 && ok;
    };
    return put("/proc/self/setgroups", "deny") &&
           put("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1") &&
           put("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1");
}

void makeSocket(const std::string& path) {
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof addr.sun_path);
    path.copy(addr.sun_path, path.size());
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(s);
}

} // namespace

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
    Watchdog watchdog(30);
    ScratchDir dir;
    writeFile(dir.file("src/a.jpg"), "a");
    writeFile(dir.file("src/b.jpg"), "b");
    fs::create_directories(dir.file("ro"));
    // The sources could be deleted; only the target refuses.
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(dir.file("src").c_str(), 0777);
    ::chmod(dir.file("ro").c_str(), 0555);
    // Permissions do not stop root: the move runs as an ordinary user then.
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0))
            ::_exit(3);
        const FileOps::Outcome o =
            FileOps::copyInto({dir.file("src/a.jpg"), dir.file("src/b.jpg")}, dir.file("ro"), true);
        ::_exit(o.error.code == EACCES && o.done.empty() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(dir.file("ro").c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 3) << "could not become an unprivileged user";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFile(dir.file("src/a.jpg")), "a");
    EXPECT_EQ(readFile(dir.file("src/b.jpg")), "b");
    EXPECT_TRUE(fs::is_empty(dir.file("ro")));
}

// A small file system of its own, in a mount namespace of this process only,
// so that the disk really fills up part-way.
TEST(FileOps, ARealFullDiskPartWayLosesNothing) {
    Watchdog watchdog(30);
    ScratchDir dir;
    const std::string small = dir.file("small");
    fs::create_directories(small);
    if (::unshare(CLONE_NEWNS) != 0 && !ownUserNamespace())
        GTEST_SKIP() << "no mount namespace here (" << std::strerror(errno)
                     << "); the write limit test covers a failing write";
    ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small file system: " << std::strerror(errno);
    writeFile(dir.file("src/a.jpg"), std::string(8000, 'a'));
    writeFile(dir.file("src/album/1.jpg"), std::string(20000, '1'));
    writeFile(dir.file("src/album/2.jpg"), std::string(200000, '2'));
    writeFile(dir.file("src/album/3.jpg"), std::string(10, '3'));
    const FileOps::Outcome o =
        FileOps::copyInto({dir.file("src/a.jpg"), dir.file("src/album")}, small, true);
    EXPECT_EQ(o.error.code, ENOSPC);
    EXPECT_EQ(o.error.path, small + "/album/2.jpg");
    // What arrived is whole and gone from the source; the folder that did
    // not arrive whole is complete at its source.
    EXPECT_EQ(readFile(small + "/a.jpg"), std::string(8000, 'a'));
    EXPECT_FALSE(fs::exists(dir.file("src/a.jpg")));
    EXPECT_EQ(readFile(dir.file("src/album/1.jpg")), std::string(20000, '1'));
    EXPECT_EQ(readFile(dir.file("src/album/2.jpg")), std::string(200000, '2'));
    EXPECT_EQ(readFile(dir.file("src/album/3.jpg")), std::string(10, '3'));
    EXPECT_FALSE(fs::exists(small + "/album/2.jpg"));
    EXPECT_FALSE(hasCopyLeftovers(small));
    ::umount2(small.c_str(), MNT_DETACH);
}

TEST(FileOps, CancellingAMoveAcrossVolumesKeepsTheSourceFolder) {
    Watchdog watchdog(30);
    ScratchDir dir;
    for (const char* n : {"1.jpg", "2.jpg", "3.jpg"})
        writeFile(dir.file(std::string("src/album/") + n), std::string(1000, n[0]));
    OtherVolumeDir other;
    FileOps::Callbacks cb;
    // Cancelled once the first file has arrived.
    cb.progress = [](uint64_t done, uint64_t) { return done < 1000; };
    const FileOps::Outcome o = FileOps::copyInto({dir.file("src/album")}, other.path, true, cb);
    EXPECT_TRUE(o.cancelled);
    EXPECT_FALSE(o.error);
    EXPECT_EQ(o.done.size(), 1u);
    for (const char* n : {"1.jpg", "2.jpg", "3.jpg"})
        EXPECT_EQ(readFile(dir.file(std::string("src/album/") + n)), std::string(1000, n[0]));
    for (const std::string& t : o.done)
        EXPECT_EQ(fs::file_size(t), 1000u);
    EXPECT_FALSE(hasCopyLeftovers(other.path));
}

// The folder the user pastes into is the source's own folder under a link.
TEST(FileOps, AMoveOntoItselfThroughALinkTouchesNothing) {
    Watchdog watchdog(30);
    ScratchDir dir;
    writeFile(dir.file("t/a/sub/p.jpg"), "x");
    writeFile(dir.file("t/a/q.jpg"), "q");
    fs::create_directory_symlink(dir.file("t/a"), dir.file("t/alias"));
    int asked = 0;
    FileOps::Callbacks overwrite;
    overwrite.clash = [&](const std::string&) {
        ++asked;
        return FileOps::Clash::Overwrite;
    };
    FileOps::Outcome o = FileOps::copyInto({dir.file("t/a/sub"), dir.file("t/a/q.jpg")},
                                           dir.file("t/alias"), true, overwrite);
    EXPECT_FALSE(o.error) << o.error.code << " " << o.error.path;
    EXPECT_FALSE(o.cancelled);
    EXPECT_EQ(readFile(dir.file("t/a/sub/p.jpg")), "x");
    EXPECT_EQ(readFile(dir.file("t/a/q.jpg")), "q");
    EXPECT_EQ(asked, 0);

    // Given by the link's name, the sources are the same files too.
    o = FileOps::copyInto({dir.file("t/alias/sub"), dir.file("t/alias/q.jpg")}, dir.file("t/a"),
                          true, overwrite);
    EXPECT_FALSE(o.error);
    EXPECT_EQ(readFile(dir.file("t/a/sub/p.jpg")), "x");
    EXPECT_EQ(readFile(dir.file("t/a/q.jpg")), "q");

    // A copy onto itself through the link makes copies with their own names.
    o = FileOps::copyInto({dir.file("t/a/sub"), dir.file("t/a/q.jpg")}, dir.file("t/alias"), false,
                          overwrite);
    EXPECT_FALSE(o.error);
    EXPECT_EQ(readFile(dir.file("t/a/sub - 복사본/p.jpg")), "x");
    EXPECT_EQ(readFile(dir.file("t/a/q - 복사본.jpg")), "q");
    EXPECT_EQ(readFile(dir.file("t/a/sub/p.jpg")), "x");
    EXPECT_EQ(asked, 0);
}

TEST(FileOps, AHardLinkOfTheSourceIsNeverOverwrittenByIt) {
    Watchdog watchdog(30);
    ScratchDir dir;
    writeFile(dir.file("src/p.jpg"), "photo");
    fs::create_directories(dir.file("dst"));
    fs::create_hard_link(dir.file("src/p.jpg"), dir.file("dst/p.jpg"));
    const ino_t before = inode(dir.file("src/p.jpg"));
    FileOps::Outcome o = FileOps::copyInto({dir.file("src/p.jpg")}, dir.file("dst"), true,
                                           answering(FileOps::Clash::Overwrite));
    EXPECT_FALSE(o.error);
    EXPECT_EQ(readFile(dir.file("src/p.jpg")), "photo");
    EXPECT_EQ(readFile(dir.file("dst/p.jpg")), "photo");
    EXPECT_EQ(inode(dir.file("src/p.jpg")), before);
    EXPECT_EQ(inode(dir.file("dst/p.jpg")), before);

    o = FileOps::copyInto({dir.file("src/p.jpg")}, dir.file("dst"), false,
                          answering(FileOps::Clash::Overwrite));
    EXPECT_FALSE(o.error);
    EXPECT_EQ(readFile(dir.file("dst/p - 복사본.jpg")), "photo");
    EXPECT_EQ(inode(dir.file("dst/p.jpg")), before);

    // A link to the source as the target is the source itself as well.
    fs::create_symlink(dir.file("src/p.jpg"), dir.file("dst/q.jpg"));
    fs::create_hard_link(dir.file("src/p.jpg"), dir.file("src/q.jpg"));
    o = FileOps::copyInto({dir.file("src/q.jpg")}, dir.file("dst"), true,
                          answering(FileOps::Clash::Overwrite));
    EXPECT_FALSE(o.error);
    EXPECT_EQ(readFile(dir.file("src/q.jpg")), "photo");
    EXPECT_EQ(readFile(dir.file("src/p.jpg")), "photo");
}

// Deeper in a folder walk: the target folder is a link to the source folder.
TEST(FileOps, EveryLevelOfAFolderIsComparedWithItsTarget) {
    Watchdog watchdog(30);
    ScratchDir dir;
    writeFile(dir.file("src/album/b.jpg"), "b");
    writeFile(dir.file("src/album/deep/c.jpg"), "c");
    fs::create_directories(dir.file("dst"));
    fs::create_directory_symlink(dir.file("src/album"), dir.file("dst/album"));
    FileOps::Outcome o = FileOps::copyInto({dir.file("src/album")}, dir.file("dst"), true,
                                           answering(FileOps::Clash::Overwrite));
    EXPECT_FALSE(o.error);
    EXPECT_EQ(readFile(dir.file("src/album/b.jpg")), "b");
    EXPECT_EQ(readFile(dir.file("src/album/deep/c.jpg")), "c");

    // One file inside: the target's file is a hard link of the source's.
    writeFile(dir.file("s2/album/b.jpg"), "b2");
    writeFile(dir.file("s2/album/n.jpg"), "n");
    fs::create_directories(dir.file("d2/album"));
    fs::create_hard_link(dir.file("s2/album/b.jpg"), dir.file("d2/album/b.jpg"));
    o = FileOps::copyInto({dir.file("s2/album")}, dir.file("d2"), true,
                          answering(FileOps::Clash::Overwrite));
    EXPECT_FALSE(o.error);
    EXPECT_EQ(readFile(dir.file("d2/album/n.jpg")), "n");
    EXPECT_EQ(readFile(dir.file("d2/album/b.jpg")), "b2");
    // Something of it stayed: the source folder stays as well.
    EXPECT_EQ(readFile(dir.file("s2/album/b.jpg")), "b2");
}

TEST(FileOps, AFolderIsNeverCopiedIntoItselfThroughALink) {
    Watchdog watchdog(30);
    ScratchDir dir;
    writeFile(dir.file("t/a/p.jpg"), "p");
    fs::create_directories(dir.file("t/a/sub"));
    fs::create_directory_symlink(dir.file("t/a"), dir.file("t/alias"));
    const FileOps::Outcome o = FileOps::copyInto({dir.file("t/a")}, dir.file("t/alias/sub"), false);
    EXPECT_FALSE(o.error);
    EXPECT_TRUE(o.done.empty());
    EXPECT_FALSE(fs::exists(dir.file("t/a/sub/a")));
}

// Deeper down, a link in the target leads back into the folder being moved:
// what would be written there would go with the source when it is deleted.
TEST(FileOps, AMoveNeverWritesIntoItsOwnSourceThroughALink) {
    Watchdog watchdog(30);
    ScratchDir dir;
    writeFile(dir.file("src/album/b.jpg"), "outer b");
    writeFile(dir.file("src/album/x/b.jpg"), "inner b");
    writeFile(dir.file("src/album/x/c.jpg"), "c");
    fs::create_directories(dir.file("dst/album"));
    fs::create_directory_symlink(dir.file("src/album"), dir.file("dst/album/x"));
    const FileOps::Outcome o = FileOps::copyInto({dir.file("src/album")}, dir.file("dst"), true,
                                                 answering(FileOps::Clash::Overwrite));
    EXPECT_FALSE(o.error) << o.error.code << " " << o.error.path;
    EXPECT_EQ(readFile(dir.file("src/album/b.jpg")), "outer b");
    EXPECT_EQ(readFile(dir.file("src/album/x/b.jpg")), "inner b");
    EXPECT_EQ(readFile(dir.file("src/album/x/c.jpg")), "c");
    EXPECT_FALSE(fs::exists(dir.file("src/album/c.jpg")));
    EXPECT_EQ(readFile(dir.file("dst/album/b.jpg")), "outer b");
}

TEST(FileOps, AFifoInAFolderIsLeftOutWithoutWaiting) {
    Watchdog watchdog(30);
    ScratchDir dir;
    writeFile(dir.file("src/album/a.jpg"), "a");
    ASSERT_EQ(::mkfifo(dir.file("src/album/fifo.jpg").c_str(), 0644), 0);
    fs::create_directories(dir.file("copy"));
    const FileOps::Outcome o = FileOps::copyInto({dir.file("src/album")}, dir.file("copy"), false);
    EXPECT_FALSE(o.error) << o.error.code << " " << o.error.path;
    EXPECT_EQ(readFile(dir.file("copy/album/a.jpg")), "a");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.file("copy/album/fifo.jpg"))));
    EXPECT_EQ(o.specialFiles, std::vector<std::string>{dir.file("src/album/fifo.jpg")});
}

TEST(FileOps, SocketsAndDevicesAreLeftOutAndAMoveKeepsThem) {
    Watchdog watchdog(30);
    ScratchDir dir;
    writeFile(dir.file("src/album/a.jpg"), "a");
    ASSERT_EQ(::mkfifo(dir.file("src/album/fifo.jpg").c_str(), 0644), 0);
    makeSocket(dir.file("src/album/sock.jpg"));
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::mknod(dir.file("src/album/dev.jpg").c_str(), S_IFCHR | 0644, makedev(1, 3)), 0);
    }
    ASSERT_EQ(::mkfifo(dir.file("src/lone.jpg").c_str(), 0644), 0);
    fs::create_directories(dir.file("copy"));

    FileOps::Outcome o = FileOps::copyInto({dir.file("src/album"), dir.file("src/lone.jpg")},
                                           dir.file("copy"), false);
    EXPECT_FALSE(o.error) << o.error.code << " " << o.error.path;
    EXPECT_EQ(readFile(dir.file("copy/album/a.jpg")), "a");
    for (const char* n : {"album/fifo.jpg", "album/sock.jpg", "album/dev.jpg", "lone.jpg"})
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir.file(std::string("copy/") + n)))) << n;
    std::vector<std::string> left = o.specialFiles;
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected = {dir.file("src/album/fifo.jpg"),
                                         dir.file("src/album/sock.jpg"), dir.file("src/lone.jpg")};
    if (root)
        expected.push_back(dir.file("src/album/dev.jpg"));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);

    // Moved to another volume, the folder keeps what could not go with it.
    OtherVolumeDir other;
    o = FileOps::copyInto({dir.file("src/album")}, other.path, true);
    EXPECT_FALSE(o.error);
    EXPECT_EQ(readFile(other.path + "/album/a.jpg"), "a");
    EXPECT_TRUE(fs::is_fifo(dir.file("src/album/fifo.jpg")));
    EXPECT_TRUE(fs::exists(dir.file("src/album/a.jpg")));
    EXPECT_EQ(o.specialFiles.size(), root ? 3u : 2u);
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
