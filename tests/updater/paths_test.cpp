#include "tests/support/scratchdir.h"
#include "updater/crc32file.h"
#include "updater/paths.h"

#include <gtest/gtest.h>

#include <zlib.h>

using namespace vela;

TEST(Paths, JoinFollowsTheJoinRule) {
    EXPECT_EQ(joinPath("/opt/k/", "a.dll"), "/opt/k/a.dll");
    EXPECT_EQ(joinPath("/opt/k", "a.dll"), "/opt/k/a.dll");
    EXPECT_EQ(joinPath("/opt/k", "\\a.dll"), "/opt/k/a.dll");
    EXPECT_EQ(joinPath("/opt/k/", "/a.dll"), "/opt/k/a.dll");
    EXPECT_EQ(joinPath("/opt/k", ""), "/opt/k/");
    EXPECT_EQ(joinPath("/opt/k", "\\"), "/opt/k/");
    EXPECT_EQ(joinPath("/opt/k", "/"), "/opt/k/");
    EXPECT_EQ(joinPath("/opt/k/", "skin\\blue\\a.bmp"), "/opt/k/skin/blue/a.bmp");
    // Only one leading separator is dropped.
    EXPECT_EQ(joinPath("/opt/k", "//a"), "/opt/k//a");
}

TEST(Paths, TempFolderAndFileNamePart) {
    EXPECT_EQ(tempFolder("/opt/k/"), "/opt/k/__TEMP__/");
    EXPECT_EQ(tempFolder("/opt/k"), "/opt/k/__TEMP__/");
    EXPECT_EQ(fileNamePart("http://host/dir/list.ini"), "list.ini");
    EXPECT_EQ(fileNamePart("dir\\sub\\list.ini"), "list.ini");
    EXPECT_EQ(fileNamePart("list.ini"), "list.ini");
    EXPECT_EQ(fileNamePart("dir/"), "");
    EXPECT_EQ(installFolder().back(), '/');
}

TEST(Paths, ContainedPathsAreRelativeWithoutClimbing) {
    EXPECT_TRUE(isContainedRelativePath("a.dll"));
    EXPECT_TRUE(isContainedRelativePath("skin\\blue\\a.bmp"));
    EXPECT_TRUE(isContainedRelativePath(""));
    EXPECT_TRUE(isContainedRelativePath("a..b"));
    EXPECT_FALSE(isContainedRelativePath(".."));
    EXPECT_FALSE(isContainedRelativePath("..\\x"));
    EXPECT_FALSE(isContainedRelativePath("a/../../x"));
    EXPECT_FALSE(isContainedRelativePath("a\\..\\..\\x"));
    EXPECT_FALSE(isContainedRelativePath("/etc/passwd"));
    EXPECT_FALSE(isContainedRelativePath("\\x"));
    EXPECT_FALSE(isContainedRelativePath("C:\\x"));
}

TEST(Paths, SystemMarkerIsReplacedEverywhere) {
    EXPECT_EQ(replaceSystemMarker("<<system>>/regsvr <<system>>/x.ocx"),
              "/usr/bin/regsvr /usr/bin/x.ocx");
    EXPECT_EQ(replaceSystemMarker("none"), "none");
    EXPECT_EQ(replaceSystemMarker("<<system>"), "<<system>");
    EXPECT_EQ(systemFolder(), "/usr/bin");
}

TEST(Paths, SizeIsMinusOneWhenTheFileCannotBeOpened) {
    kamelo::test::ScratchDir dir;
    kamelo::test::writeFile(dir.file("f"), "hello");
    kamelo::test::writeFile(dir.file("empty"), "");
    EXPECT_EQ(fileSize(dir.file("f")), 5);
    EXPECT_EQ(fileSize(dir.file("empty")), 0);
    EXPECT_EQ(fileSize(dir.file("missing")), -1);
    EXPECT_EQ(fileSize(dir.path()), -1);
    EXPECT_EQ(fileSize(dir.path() + "/"), -1);
}

TEST(Paths, Crc32EqualsZlibAcrossBlockBoundaries) {
    kamelo::test::ScratchDir dir;
    for (size_t size :
         {size_t(0), size_t(1), size_t(4095), size_t(4096), size_t(4097), size_t(3 * 4096 + 17)}) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>((i * 131 + 7) & 0xFF);
        kamelo::test::writeFile(dir.file("c"), bytes);
        uLong expected = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.data()),
                               static_cast<uInt>(bytes.size()));
        auto got = fileCrc32(dir.file("c"));
        ASSERT_TRUE(got);
        EXPECT_EQ(*got, expected) << size;
    }
    // The classic check value.
    kamelo::test::writeFile(dir.file("check"), "123456789");
    EXPECT_EQ(*fileCrc32(dir.file("check")), 0xCBF43926u);
    EXPECT_FALSE(fileCrc32(dir.file("missing")));
    EXPECT_FALSE(fileCrc32(dir.path()));
}
