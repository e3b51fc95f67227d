#include "browser/core/folderenumerator.h"
#include "browser/core/thumbfit.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace kamelo;
using kamelo::test::ScratchDir;

TEST(ThumbFit, PicturesFillTheBoxInsideBorderAndAboveTheLabel) {
    // 120 x 100 cell, border 10: the box is 100 x 65.
    ThumbPlacement p = ThumbFit::place(10, 10, 120, 100, 10); // small: enlarged
    EXPECT_EQ(p.width, 65);
    EXPECT_EQ(p.height, 65);
    EXPECT_EQ(p.x, (120 - 65) / 2);
    EXPECT_EQ(p.y, (100 - 15 - 65) / 2);
    EXPECT_EQ(p.rect(), (CellRect{27, 10, 92, 75}));

    p = ThumbFit::place(4000, 1000, 120, 100, 10); // wide: full box width
    EXPECT_EQ(p.width, 100);
    EXPECT_EQ(p.height, 25);
    p = ThumbFit::place(300, 300 * 65 / 100, 120, 100, 10); // same shape as the box
    EXPECT_EQ(p.width, 100);
    EXPECT_EQ(p.height, 65);
    p = ThumbFit::place(3, 1, 120, 100, 10); // 100 / 3 * 1 truncated, exactly
    EXPECT_EQ(p.height, 33);
    p = ThumbFit::place(1, 100000, 120, 100, 10); // a sliver stays visible
    EXPECT_EQ(p.width, 1);
    EXPECT_EQ(p.height, 65);

    EXPECT_FALSE(ThumbFit::place(0, 10, 120, 100, 10).valid());
    EXPECT_FALSE(ThumbFit::place(10, 10, 20, 100, 10).valid()); // no box left
    EXPECT_FALSE(ThumbFit::place(10, 10, 120, 35, 10).valid());
}

TEST(ThumbFit, CaptureTimeTakesOnlyTheExactTextOfAValidDate) {
    int32_t t = 0;
    ASSERT_TRUE(ThumbFit::captureTime("2004:03:07 09:05:00", t));
    std::tm tm{};
    tm.tm_year = 104;
    tm.tm_mon = 2;
    tm.tm_mday = 7;
    tm.tm_hour = 9;
    tm.tm_min = 5;
    tm.tm_isdst = -1;
    EXPECT_EQ(t, int32_t(std::mktime(&tm)));
    for (const char* bad : {"0000:00:00 00:00:00", "2004:02:30 10:00:00", "2004:03:07 24:00:00",
                            "2004-03-07 09:05:00", "2004:03:07 09:05", "2004:03:07 09:05:00 ",
                            "    :  :     :  :  ", ""})
        EXPECT_FALSE(ThumbFit::captureTime(bad, t)) << bad;
}

namespace {

struct Folder {
    ScratchDir dir;
    Folder() {
        namespace fs = std::filesystem;
        fs::create_directories(dir.file("f/Sub"));
        fs::create_directories(dir.file("f/.hidden"));
        for (const char* n : {"a.JPG", "b.tif", "c.png", "notes.txt", ".secret.jpg", "noext"})
            kamelo::test::writeFile(dir.file(std::string("f/") + n), "12345");
    }
    std::string path() const { return dir.file("f"); }
};

std::vector<std::string> names(const EnumerateResult& r) {
    std::vector<std::string> n;
    for (const CThumbData& d : r.records)
        n.push_back(d.displayName);
    return n;
}

} // namespace

TEST(FolderEnumerator, ParentThenFoldersThenPicturesWithoutHiddenEntries) {
    Folder f;
    EnumerateResult r;
    ASSERT_TRUE(FolderEnumerator::enumerate(f.path(), {}, r));
    ASSERT_EQ(r.records.size(), 5u);
    EXPECT_EQ(r.records[0].displayName, "..");
    EXPECT_EQ(r.records[0].fullPath, "..");
    EXPECT_EQ(r.records[0].itemKind, 1);
    EXPECT_EQ(r.records[1].displayName, "Sub");
    EXPECT_EQ(r.records[1].itemKind, 1);
    EXPECT_EQ(r.pictures, 3);
    EXPECT_EQ(r.folders, 2);
    EXPECT_EQ(r.others, 0);
    const std::vector<std::string> all = names(r);
    std::vector<std::string> files(all.begin() + 2, all.end());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"a.JPG", "b.tif", "c.png"}));
    for (size_t i = 2; i < r.records.size(); ++i) {
        const CThumbData& d = r.records[i];
        EXPECT_EQ(d.itemKind, 0);
        EXPECT_EQ(d.fileSize, 0u) << "sizes only in details view";
        EXPECT_EQ(d.modifiedTime, 0);
        EXPECT_EQ(d.fullPath, f.path() + "/" + d.displayName);
        EXPECT_EQ(d.typeName, d.displayName == "a.JPG"   ? "JPEG"
                              : d.displayName == "b.tif" ? "TIFF"
                                                         : "PNG");
        EXPECT_EQ(d.pictureRect, ThumbFit::iconRect(120, 100));
    }
}

TEST(FolderEnumerator, OtherFilesDetailsAndTheCacheCheckListing) {
    Folder f;
    EnumerateOptions o;
    o.onlyPictures = false;
    o.details = true;
    o.withParent = false;
    EnumerateResult r;
    ASSERT_TRUE(FolderEnumerator::enumerate(f.path(), o, r));
    EXPECT_EQ(r.pictures, 3);
    EXPECT_EQ(r.others, 2);
    EXPECT_EQ(r.folders, 1);
    for (const CThumbData& d : r.records) {
        EXPECT_NE(d.displayName, "..");
        if (d.itemKind == 0) {
            EXPECT_EQ(d.fileSize, 5u);
            EXPECT_GT(d.modifiedTime, 0);
        }
        if (d.displayName == "noext") {
            EXPECT_EQ(d.typeName, "");
        }
    }
    EXPECT_FALSE(FolderEnumerator::enumerate(f.dir.file("missing"), o, r));
    EXPECT_TRUE(r.records.empty());
}

TEST(FolderEnumerator, TheRootHasNoParentEntry) {
    EXPECT_EQ(FolderEnumerator::parentOf("/"), "");
    EXPECT_EQ(FolderEnumerator::parentOf("/home"), "/");
    EXPECT_EQ(FolderEnumerator::parentOf("/home/me/"), "/home");
    EXPECT_EQ(FolderEnumerator::typeName("jpeg"), "JPEG");
    EXPECT_EQ(FolderEnumerator::typeName("Tga"), "TGA");
}
