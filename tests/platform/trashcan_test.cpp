#include "platform/core/trashcan.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace kamelo;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;

namespace {

// Points the home trash into the scratch folder for one test.
struct TrashHome {
    std::string old;
    bool had;
    explicit TrashHome(const std::string& data) {
        const char* v = std::getenv("XDG_DATA_HOME");
        had = v != nullptr;
        old = v ? v : "";
        ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    }
    ~TrashHome() {
        if (had)
            ::setenv("XDG_DATA_HOME", old.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }
};

} // namespace

TEST(TrashCan, FilesGoToTheHomeTrashWithAnInfoFileFileManagersRead) {
    ScratchDir dir;
    TrashHome home(dir.file("data"));
    const std::string photo = dir.file("사진 1.jpg");
    kamelo::test::writeFile(photo, "picture");
    const TrashCan::Result r = TrashCan::trash(photo);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_FALSE(fs::exists(photo));
    EXPECT_EQ(r.trashedAs, dir.file("data/Trash/files/사진 1.jpg"));
    EXPECT_EQ(kamelo::test::readFile(r.trashedAs), "picture");
    const std::string info = kamelo::test::readFile(r.infoFile);
    EXPECT_EQ(r.infoFile, dir.file("data/Trash/info/사진 1.jpg.trashinfo"));
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=", 0), 0u) << info;
    EXPECT_NE(info.find("Path=" + TrashCan::encodePath(photo) + "\n"), std::string::npos);
    EXPECT_NE(info.find("%EC%82%AC%EC%A7%84%201.jpg"), std::string::npos) << info;
    const size_t date = info.find("DeletionDate=");
    ASSERT_NE(date, std::string::npos);
    EXPECT_EQ(info.substr(date + 13).size(), 20u); // "YYYY-MM-DDThh:mm:ss\n"
    EXPECT_EQ(info[date + 13 + 10], 'T');

    // The same name again: a second, different name; nothing replaced.
    kamelo::test::writeFile(photo, "second");
    const TrashCan::Result again = TrashCan::trash(photo);
    ASSERT_TRUE(again.ok);
    EXPECT_EQ(again.trashedAs, dir.file("data/Trash/files/사진 1.2.jpg"));
    EXPECT_EQ(kamelo::test::readFile(r.trashedAs), "picture");
    // A stray file without info is never overwritten either.
    kamelo::test::writeFile(dir.file("data/Trash/files/x.3.png"), "stray");
    kamelo::test::writeFile(dir.file("data/Trash/info/x.png.trashinfo"), "");
    kamelo::test::writeFile(dir.file("data/Trash/info/x.2.png.trashinfo"), "");
    kamelo::test::writeFile(dir.file("x.png"), "new");
    const TrashCan::Result third = TrashCan::trash(dir.file("x.png"));
    ASSERT_TRUE(third.ok);
    EXPECT_EQ(third.trashedAs, dir.file("data/Trash/files/x.4.png"));
    EXPECT_EQ(kamelo::test::readFile(dir.file("data/Trash/files/x.3.png")), "stray");
}

TEST(TrashCan, FoldersGoWholeAndMissingFilesFail) {
    ScratchDir dir;
    TrashHome home(dir.file("data"));
    kamelo::test::writeFile(dir.file("album/a.jpg"), "a");
    const TrashCan::Result r = TrashCan::trash(dir.file("album"));
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(fs::exists(r.trashedAs + "/a.jpg"));
    const TrashCan::Result missing = TrashCan::trash(dir.file("nothing.jpg"));
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_FALSE(TrashCan::trash("/").ok);
    EXPECT_EQ(TrashCan::encodePath("/a b/ü~x.jpg"), "/a%20b/%C3%BC~x.jpg");
}
