#include "tests/support/scratchdir.h"
#include "updater/beneath.h"
#include "updater/fileplace.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

using namespace vela;
using kamelo::test::readFile;
using kamelo::test::ScratchDir;
using kamelo::test::writeFile;
namespace fs = std::filesystem;

namespace {

// An installation folder "inst/" beside a folder "away/" that must never
// change, with a folder link "inst/link" to it and a file "inst/file".
struct Planted {
    ScratchDir dir;
    std::string inst = dir.path() + "/inst/";
    std::string away = dir.path() + "/away/";
    Planted() {
        writeFile(away + "keep.dat", "mine");
        writeFile(inst + "file", "x");
        fs::create_directories(inst + "real/sub");
        fs::create_symlink(away, inst + "link");
    }
    int openBeneath(const std::string& relative, bool create) {
        const int root = ::open(inst.c_str(), O_RDONLY | O_DIRECTORY);
        const int fd = openFolderBeneath(root, relative, create);
        const int saved = errno;
        ::close(root);
        if (fd >= 0)
            ::close(fd);
        errno = saved;
        return fd;
    }
};

struct Shape {
    const char* relative;
    bool create;
    int error; // 0: opens
};

} // namespace

TEST(Beneath, FoldersOpenOnlyWithoutLinks) {
    const Shape shapes[] = {
        {"real/sub", false, 0},     {"real\\sub", false, 0},  {"new/deep", true, 0},
        {"link", false, ELOOP},     {"link/x", true, ELOOP},  {"real/../link", false, EINVAL},
        {"./real/./sub", false, 0}, {"file", false, ENOTDIR}, {"missing", false, ENOENT},
    };
    for (const Shape& s : shapes) {
        Planted p;
        errno = 0;
        const int fd = p.openBeneath(s.relative, s.create);
        EXPECT_EQ(fd >= 0 ? 0 : errno, s.error) << s.relative;
        EXPECT_EQ(readFile(p.away + "keep.dat"), "mine");
        EXPECT_FALSE(fs::exists(p.away + "x")) << s.relative;
    }
}

TEST(Beneath, PathsBelowTheRootAndLinkChecks) {
    EXPECT_EQ(relativeBelow("/i/", "/i/a\\b/c"), "a/b/c");
    EXPECT_EQ(relativeBelow("/i", "/i/a"), "a");
    EXPECT_FALSE(relativeBelow("/i/", "/ix/a"));
    EXPECT_FALSE(relativeBelow("/i/", "/i/"));
    EXPECT_EQ(folderPart("a\\b\\c.dll"), "a/b");
    EXPECT_EQ(folderPart("c.dll"), "");
    Planted p;
    EXPECT_TRUE(passesThroughLink(p.inst, "link"));
    EXPECT_TRUE(passesThroughLink(p.inst, "link/deeper"));
    EXPECT_FALSE(passesThroughLink(p.inst, "real/sub"));
    EXPECT_FALSE(passesThroughLink(p.inst, "not/yet"));
    // Files are never created through a link, nor over one.
    EXPECT_LT(createFileBeneath(p.inst, p.inst + "link/new.dat"), 0);
    fs::create_symlink(p.away + "keep.dat", p.inst + "real/alias");
    EXPECT_LT(createFileBeneath(p.inst, p.inst + "real/alias"), 0);
    const int fd = createFileBeneath(p.inst, p.inst + "real/sub/new.dat");
    EXPECT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(readFile(p.away + "keep.dat"), "mine");
    EXPECT_FALSE(placeFile(p.inst, p.inst + "file", p.inst + "link/keep.dat"));
    EXPECT_EQ(readFile(p.away + "keep.dat"), "mine");
}

TEST(Beneath, TheTemporaryFolderIsMadeAnewAndNeverFollowed) {
    // A link, a file, or a real folder with a link inside in its place.
    for (int shape = 0; shape < 3; ++shape) {
        Planted p;
        const std::string temp = p.inst + "__TEMP__";
        if (shape == 0)
            fs::create_symlink(p.away, temp);
        else if (shape == 1)
            writeFile(temp, "x");
        else if (fs::create_directories(temp))
            fs::create_symlink(p.away, temp + "/inner");
        ASSERT_TRUE(makeTempFolder(p.inst)) << shape;
        EXPECT_TRUE(fs::is_directory(fs::symlink_status(temp))) << shape;
        EXPECT_TRUE(fs::is_empty(temp)) << shape;
        writeFile(temp + "/a/b.dat", "x");
        clearTempFolder(temp + "/");
        EXPECT_TRUE(fs::is_empty(temp));
        removeTempFolder(p.inst);
        EXPECT_FALSE(fs::exists(fs::symlink_status(temp))) << shape;
        EXPECT_EQ(readFile(p.away + "keep.dat"), "mine") << shape;
    }
    // A link planted once the run has begun is removed as a link.
    Planted p;
    fs::create_symlink(p.away, p.inst + "__TEMP__");
    clearTempFolder(p.inst + "__TEMP__/");
    removeTempFolder(p.inst);
    EXPECT_FALSE(fs::exists(fs::symlink_status(p.inst + "__TEMP__")));
    EXPECT_EQ(readFile(p.away + "keep.dat"), "mine");
}
