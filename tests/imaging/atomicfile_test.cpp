// Replacing a file must not change who may read it, and must not turn a
// symbolic link into a file of its own.
#include "imaging/core/filebytes.h"
#include "imaging/result.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace kamelo::imaging;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;

namespace {

int write(const std::string& path, const std::string& text) {
    return writeFileAtomically(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

TEST(AtomicFile, AReplacedFileKeepsItsPermissions) {
    ScratchDir dir;
    const std::string secret = dir.file("secret.jpg");
    kamelo::test::writeFile(secret, "old");
    ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
    ASSERT_EQ(write(secret, "new"), result::kSuccess);
    EXPECT_EQ(kamelo::test::readFile(secret), "new");
    EXPECT_EQ(modeOf(secret), mode_t(0600));

    const std::string shared = dir.file("shared.jpg");
    kamelo::test::writeFile(shared, "old");
    ASSERT_EQ(::chmod(shared.c_str(), 0664), 0);
    ASSERT_EQ(write(shared, "new"), result::kSuccess);
    EXPECT_EQ(modeOf(shared), mode_t(0664));
}

TEST(AtomicFile, ANewFileGetsTheUsualPermissions) {
    ScratchDir dir;
    const mode_t mask = ::umask(022);
    ASSERT_EQ(write(dir.file("fresh.jpg"), "x"), result::kSuccess);
    ::umask(mask);
    EXPECT_EQ(modeOf(dir.file("fresh.jpg")), mode_t(0644));
}

TEST(AtomicFile, SavingOverASymlinkReplacesItsTarget) {
    ScratchDir dir;
    fs::create_directories(dir.file("real"));
    const std::string target = dir.file("real/photo.jpg");
    kamelo::test::writeFile(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    const std::string link = dir.file("link.jpg");
    fs::create_symlink("real/photo.jpg", link); // relative, as users make them
    const std::string chain = dir.file("chain.jpg");
    fs::create_symlink(link, chain);

    ASSERT_EQ(write(chain, "new"), result::kSuccess);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_symlink(chain));
    EXPECT_EQ(kamelo::test::readFile(target), "new");
    EXPECT_EQ(modeOf(target), mode_t(0640));
    // No temporary file is left beside the link or the target.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("real")), {}), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 3);

    // A dangling link creates its target.
    const std::string dangling = dir.file("dangling.jpg");
    fs::create_symlink("real/later.jpg", dangling);
    ASSERT_EQ(write(dangling, "made"), result::kSuccess);
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(kamelo::test::readFile(dir.file("real/later.jpg")), "made");

    // A loop of links is refused and changes nothing.
    fs::create_symlink(dir.file("loop-b.jpg"), dir.file("loop-a.jpg"));
    fs::create_symlink(dir.file("loop-a.jpg"), dir.file("loop-b.jpg"));
    EXPECT_EQ(write(dir.file("loop-a.jpg"), "x"), result::kFileWrite);
    EXPECT_TRUE(fs::is_symlink(dir.file("loop-a.jpg")));
}

TEST(AtomicFile, AHardLinkedFileIsReplacedAndItsOtherNameKeepsTheOldContent) {
    // Rename is kept for files with several names: a crash or a full disk
    // during the save cannot damage either name.
    ScratchDir dir;
    const std::string a = dir.file("a.jpg"), b = dir.file("b.jpg");
    kamelo::test::writeFile(a, "old");
    fs::create_hard_link(a, b);
    ASSERT_EQ(write(a, "new"), result::kSuccess);
    EXPECT_EQ(kamelo::test::readFile(a), "new");
    EXPECT_EQ(kamelo::test::readFile(b), "old");
}

TEST(AtomicFile, AFailedWriteKeepsTheOldFile) {
    ScratchDir dir;
    const std::string path = dir.file("keep.jpg");
    kamelo::test::writeFile(path, "old");
    {
        AtomicFile file(path);
        ASSERT_TRUE(file.write(reinterpret_cast<const uint8_t*>("new"), 3));
    } // no commit
    EXPECT_EQ(kamelo::test::readFile(path), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
}
