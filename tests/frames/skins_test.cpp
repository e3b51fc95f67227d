#include "frames/core/frameskin.h"
#include "frames/core/skindefinition.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace kamelo;
using namespace kamelo::frames;
using kamelo::test::ScratchDir;
using kamelo::test::writeFile;

TEST(FrameSkinList, ListsCaptionedSkinsInNameOrder) {
    ScratchDir dir;
    writeFile(dir.file("b.ini"), "[GENERAL]\nCAPTION=나무 액자\n");
    writeFile(dir.file("a.INI"), "[general]\ncaption=은빛\n");
    writeFile(dir.file("c.Ini"), "[GENERAL]\nTYPE=attach_on_top\n"); // no caption
    writeFile(dir.file("d.ini"), "[Skin]\nCAPTION=wrong section\n");
    writeFile(dir.file("e.txt"), "[GENERAL]\nCAPTION=not an ini\n");
    writeFile(dir.file(".ini"), "[GENERAL]\nCAPTION=no name\n");
    ::mkdir(dir.file("folder.ini").c_str(), 0755);
    bool noIni = true;
    const std::vector<SkinEntry> skins = listSkins(dir.path(), &noIni);
    EXPECT_FALSE(noIni);
    ASSERT_EQ(skins.size(), 2u);
    EXPECT_EQ(skins[0].caption, "은빛");
    EXPECT_EQ(skins[0].iniPath, dir.file("a.INI"));
    EXPECT_EQ(skins[1].caption, "나무 액자");
    EXPECT_EQ(skins[1].iniPath, dir.file("b.ini"));
}

TEST(FrameSkinList, EmptyOrMissingFolderHasNoIni) {
    ScratchDir dir;
    bool noIni = false;
    EXPECT_TRUE(listSkins(dir.path(), &noIni).empty());
    EXPECT_TRUE(noIni);
    noIni = false;
    EXPECT_TRUE(listSkins(dir.file("missing"), &noIni).empty());
    EXPECT_TRUE(noIni);
    writeFile(dir.file("x.bmp"), "BM");
    EXPECT_TRUE(listSkins(dir.path(), &noIni).empty());
    EXPECT_TRUE(noIni);
}

TEST(FrameSkinList, InisWithoutCaptionAreNotNoIni) {
    ScratchDir dir;
    writeFile(dir.file("a.ini"), "[GENERAL]\nCAPTION=\n");
    bool noIni = true;
    EXPECT_TRUE(listSkins(dir.path(), &noIni).empty());
    EXPECT_FALSE(noIni);
}

TEST(FrameSkinDefinition, KeysInAnyCaseAndNumbersByTheirLeadingDigits) {
    const SkinDefinition s =
        parseSkin("\xEF\xBB\xBF; comment\r\n[general]\r\nCaption = 한글 이름 \r\n"
                  "type=ATTACH_ON_TOP\r\n[skin]\r\nstart_x=12px\r\nStart_Y=-3\r\n"
                  "MARGIN_X=abc\r\nmargin_y=+7\r\nTOP_CX=  42  \r\n"
                  "[special]\r\nspecial_cx=5\r\n[SKIN]\r\nLEFT_CY=99\r\n");
    EXPECT_EQ(s.caption, "한글 이름");
    EXPECT_TRUE(s.attachOnTop);
    EXPECT_EQ(s.startX, 12);
    EXPECT_EQ(s.startY, -3);
    EXPECT_EQ(s.marginX, 0);
    EXPECT_EQ(s.marginY, 7);
    EXPECT_EQ(s.topCx, 42);
    EXPECT_EQ(s.specialCx, 5);
    // The first section of a name wins; missing numbers read 0.
    EXPECT_EQ(s.leftCy, 0);
    EXPECT_EQ(s.bottomRightCy, 0);
}

TEST(FrameSkinDefinition, SpecialKeysOnlyForAttachOnTop) {
    const SkinDefinition s =
        parseSkin("[GENERAL]\nCAPTION=x\n[SPECIAL]\nSPECIAL_X=4\nSPECIAL_CX=9\n");
    EXPECT_FALSE(s.attachOnTop);
    EXPECT_EQ(s.specialX, 0);
    EXPECT_EQ(s.specialCx, 0);
}

TEST(FrameSkinDefinition, BitmapPathReplacesTheLastFourCharacters) {
    EXPECT_EQ(skinBitmapPath("/a/b/wood.ini"), "/a/b/wood.bmp");
    EXPECT_EQ(skinBitmapPath("/a/b/wood.INI"), "/a/b/wood.bmp");
    EXPECT_EQ(skinBitmapPath("ini"), ".bmp");
}

TEST(FrameSkinDefinition, ReadRefusesMissingAndSpecialFiles) {
    ScratchDir dir;
    SkinDefinition s;
    EXPECT_FALSE(readSkin(dir.file("none.ini"), s));
    EXPECT_FALSE(readSkin(dir.path(), s));
    EXPECT_FALSE(readSkin("/dev/zero", s));
    writeFile(dir.file("ok.ini"), "[SKIN]\nMARGIN_X=10\n");
    ASSERT_TRUE(readSkin(dir.file("ok.ini"), s));
    EXPECT_EQ(s.marginX, 10);
}
