#include "base/settingsstore.h"
#include "print/core/printsettings.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

using namespace kamelo;

namespace {
const char* kPrint = "Print";
}

TEST(PrintSettings, DefaultsFromAnEmptyStore) {
    test::ScratchDir dir;
    SettingsStore store(dir.file("s.sqlite"));
    PrintSettings s;
    s.load(store);
    EXPECT_EQ(s.radioSheet, 0);
    EXPECT_EQ(s.leftMargin, 10);
    EXPECT_EQ(s.rightMargin, 10);
    EXPECT_EQ(s.topMargin, 15);
    EXPECT_EQ(s.bottomMargin, 15);
    EXPECT_EQ(s.userWidth, 0);
    EXPECT_EQ(s.columnCount, 4);
    EXPECT_EQ(s.rowCount, 5);
    EXPECT_EQ(s.horzSpace, 6);
    EXPECT_EQ(s.vertSpace, 6);
    EXPECT_EQ(s.thumbnailFrame, 0);
    EXPECT_EQ(s.thumbnailFrameColor, 0xBEBEBEu);
    EXPECT_EQ(s.horzFrameMargin, 3);
    EXPECT_EQ(s.vertFrameMargin, 3);
    EXPECT_EQ(s.frameEdge, 1);
    EXPECT_EQ(s.fontHeight, 200);
    EXPECT_EQ(s.faceName, "굴림");
    EXPECT_EQ(s.fontColor, 0u);
    EXPECT_EQ(s.charSet, 1);
    EXPECT_EQ(s.pitchAndFamily, 0);
    EXPECT_EQ(s.size, PrintSize::FitPage);
    // Reading writes nothing.
    EXPECT_TRUE(store.entries(SettingsStore::sectionKey(kPrint)).empty());
}

TEST(PrintSettings, RoundTripKeepsEveryKey) {
    test::ScratchDir dir;
    SettingsStore store(dir.file("s.sqlite"));
    PrintSettings s;
    s.radioSheet = 1;
    s.leftMargin = 1;
    s.rightMargin = 2;
    s.topMargin = 3;
    s.bottomMargin = 4;
    s.userWidth = 90;
    s.userHeight = 130;
    s.columnCount = 3;
    s.rowCount = 2;
    s.horzSpace = 7;
    s.vertSpace = 8;
    s.thumbnailFrame = 1;
    s.thumbnailFrameColor = 0x123456;
    s.horzFrameMargin = 4;
    s.vertFrameMargin = 5;
    s.frameEdge = 0;
    s.caption = "[파일이름] 사진";
    s.header = "머리";
    s.footer = "꼬리";
    s.drawCaption = s.drawHeader = s.drawFooter = 1;
    s.fontHeight = 240;
    s.faceName = "NanumGothic";
    s.bold = s.italic = s.underline = s.strikeout = 1;
    s.fontColor = 0x0000FF;
    s.charSet = 129;
    s.pitchAndFamily = 34;
    s.size = PrintSize::Size5x7; // not stored
    ASSERT_TRUE(s.save(store));
    EXPECT_EQ(store.getInt(kPrint, "Thumbnail Frame Color", 0), 0x123456);
    EXPECT_EQ(store.getInt(kPrint, "Character Set", 0), 129);
    EXPECT_EQ(store.getString(kPrint, "Face Name", ""), "NanumGothic");
    EXPECT_EQ(store.entries(SettingsStore::sectionKey(kPrint)).size(), 31u);
    PrintSettings back;
    back.load(store);
    s.size = PrintSize::FitPage;
    EXPECT_EQ(back.caption, s.caption);
    EXPECT_EQ(back.radioSheet, 1);
    EXPECT_EQ(back.userWidth, 90);
    EXPECT_EQ(back.userHeight, 130);
    EXPECT_EQ(back.thumbnailFrameColor, 0x123456u);
    EXPECT_EQ(back.pitchAndFamily, 34);
    EXPECT_EQ(back.strikeout, 1);
    EXPECT_EQ(back.size, PrintSize::FitPage);
    EXPECT_EQ(back.frameEdge, 0);
}

TEST(PrintSettings, StoredValuesAreClamped) {
    test::ScratchDir dir;
    SettingsStore store(dir.file("s.sqlite"));
    store.setInt(kPrint, "Column Count", 0);
    store.setInt(kPrint, "Row Count", -3);
    store.setInt(kPrint, "Left Margin", 500);
    store.setInt(kPrint, "Top Margin", -5);
    store.setInt(kPrint, "Horz Space", -1);
    store.setInt(kPrint, "Font Height", 0);
    store.setInt(kPrint, "Frame Edge", 2); // the 3-D edges are not offered
    store.setInt(kPrint, "Radio Sheet", 7);
    PrintSettings s;
    s.load(store);
    EXPECT_EQ(s.columnCount, 1);
    EXPECT_EQ(s.rowCount, 1);
    EXPECT_EQ(s.leftMargin, 200);
    EXPECT_EQ(s.topMargin, 0);
    EXPECT_EQ(s.horzSpace, 0);
    EXPECT_EQ(s.fontHeight, 20);
    EXPECT_EQ(s.frameEdge, 1);
    EXPECT_EQ(s.radioSheet, 0);
}

TEST(PrintSettings, ClampedToThePage) {
    PageGeometry a4{210, 297, 5, 5, 5, 5, false};
    PrintSettings s;
    s.columnCount = 50;
    s.rowCount = 50;
    s.horzSpace = 500;
    s.vertSpace = 500;
    s.horzFrameMargin = 100;
    s.vertFrameMargin = 100;
    s.clampToPage(a4);
    EXPECT_EQ(s.columnCount, 10);
    EXPECT_EQ(s.rowCount, 14);
    EXPECT_EQ(s.horzSpace, 200 / 10 - 3);
    EXPECT_EQ(s.vertSpace, 287 / 14 - 3);
    EXPECT_GE(s.horzFrameMargin, 0);
    EXPECT_LE(s.horzFrameMargin, 0.4 * ((18000 - 9 * 1700) / 10.0) / 100);
}
