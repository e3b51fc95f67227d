#include "print/core/printlayout.h"
#include "resources/stringtable.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kamelo;

namespace {

// A4 with 5 mm unprintable on every side: 200 x 287 mm printable.
PageGeometry a4WithEdges() {
    PageGeometry g;
    g.paperWidthMm = 210;
    g.paperHeightMm = 297;
    g.offsetLeftMm = g.offsetTopMm = g.offsetRightMm = g.offsetBottomMm = 5;
    return g;
}

PrintSettings sheetDefaults() {
    PrintSettings s;
    s.radioSheet = 1;
    return s;
}

} // namespace

TEST(PrintLayout, DefaultSheetCellsOnA4) {
    const PrintLayout layout(sheetDefaults(), a4WithEdges());
    EXPECT_DOUBLE_EQ(layout.page().pageWidth(), 20000);
    EXPECT_DOUBLE_EQ(layout.page().pageHeight(), 28700);
    EXPECT_NEAR(layout.cellWidth(), 4050, 1e-9);
    EXPECT_NEAR(layout.cellHeight(), 4660, 1e-9);
    const MmRect c = layout.contentRect();
    EXPECT_DOUBLE_EQ(c.left, 1000);
    EXPECT_DOUBLE_EQ(c.top, 1500);
    EXPECT_DOUBLE_EQ(c.right, 19000);
    EXPECT_DOUBLE_EQ(c.bottom, 27200);
    // The last cell ends exactly at the content's right and bottom edges.
    const MmRect last = layout.cellRect(4, 3);
    EXPECT_NEAR(last.right, 19000, 1.0);
    EXPECT_NEAR(last.bottom, 27200, 1e-6);
}

TEST(PrintLayout, UnequalEdgesUseAllFour) {
    PageGeometry g = a4WithEdges();
    g.offsetLeftMm = 3;
    g.offsetRightMm = 9;
    g.offsetTopMm = 4;
    g.offsetBottomMm = 12;
    EXPECT_DOUBLE_EQ(g.pageWidth(), (210 - 12) * 100.0);
    EXPECT_DOUBLE_EQ(g.pageHeight(), (297 - 16) * 100.0);
}

TEST(PrintLayout, CellLeftRoundedTopNot) {
    PrintSettings s = sheetDefaults();
    s.columnCount = 3;
    s.rowCount = 7;
    s.horzSpace = 5;
    s.vertSpace = 5;
    const PrintLayout layout(s, a4WithEdges());
    const double w = layout.cellWidth(), h = layout.cellHeight();
    EXPECT_NE(w, std::round(w)); // the case must have a fraction
    const MmRect r = layout.cellRect(2, 2);
    EXPECT_DOUBLE_EQ(r.left, 1000 + std::round((w + 500) * 2));
    EXPECT_DOUBLE_EQ(r.top, 1500 + (h + 500) * 2);
    EXPECT_DOUBLE_EQ(r.right - r.left, w);
}

TEST(PrintLayout, HeaderAndFooterTakeALineEach) {
    PrintSettings s = sheetDefaults();
    s.drawHeader = 1;
    s.drawFooter = 1;
    const PrintLayout layout(s, a4WithEdges());
    const double line = 200 * 1.7638889;
    EXPECT_DOUBLE_EQ(layout.lineHeight(), line);
    EXPECT_NEAR(layout.cellHeight(), (25700 - 2 * line - 2400) / 5, 1e-9);
    EXPECT_NEAR(layout.cellRect(0, 0).top, 1500 + line, 1e-9);
    EXPECT_NEAR(layout.footerBand().bottom, 27200, 1e-9);
    EXPECT_NEAR(layout.cellRect(4, 0).bottom, 27200 - line, 1e-6);
}

TEST(PrintLayout, PageCountRoundsUp) {
    const PrintLayout layout(sheetDefaults(), a4WithEdges());
    EXPECT_EQ(layout.pageCount(0), 0);
    EXPECT_EQ(layout.pageCount(1), 1);
    EXPECT_EQ(layout.pageCount(20), 1);
    EXPECT_EQ(layout.pageCount(21), 2);
    EXPECT_EQ(layout.firstPictureOf(2), 20);
    PrintSettings whole;
    EXPECT_EQ(PrintLayout(whole, a4WithEdges()).pageCount(3), 3);
}

TEST(PrintLayout, FixedSizesJustBelow) {
    const auto s35 = PrintLayout::fixedSize(PrintSize::Size3x5, 0, 0);
    EXPECT_LT(s35.first, 7620.0);
    EXPECT_EQ(s35.first, std::nextafter(7620.0, 0.0));
    const auto s46 = PrintLayout::fixedSize(PrintSize::Size4x6, 0, 0);
    EXPECT_EQ(s46.second, std::nextafter(15240.0, 0.0));
    EXPECT_EQ(PrintLayout::fixedSize(PrintSize::Custom, 12.5, 80.25),
              std::make_pair(1250.0, 8025.0));
}

TEST(PrintLayout, FourBySixLandscapeIsTurned) {
    PrintSettings s;
    s.size = PrintSize::Size4x6;
    const PrintLayout layout(s, a4WithEdges());
    const PrintLayout::WholePage p = layout.placeWhole(3000, 2000);
    EXPECT_NEAR(p.dest.width(), 15240, 1e-6);
    EXPECT_NEAR(p.dest.height(), 10160, 1e-6);
    EXPECT_DOUBLE_EQ(p.dest.top, 1500); // top-aligned
    EXPECT_NEAR(p.dest.left, 1000 + (18000 - 15240) / 2.0, 1e-6);
    EXPECT_FALSE(p.cropped);
    EXPECT_EQ(p.source, (SourceRect{0, 0, 3000, 2000}));
}

TEST(PrintLayout, FitPageWithTextsStaysInside) {
    PrintSettings s;
    s.drawHeader = 1;
    s.drawCaption = 1;
    const PrintLayout layout(s, a4WithEdges());
    const PrintLayout::WholePage p = layout.placeWhole(3000, 4000);
    const MmRect c = layout.contentRect();
    EXPECT_DOUBLE_EQ(c.width(), 18000);
    EXPECT_DOUBLE_EQ(c.height(), 25700);
    EXPECT_NEAR(p.dest.width(), 18000, 1e-6); // not 187.5 mm
    EXPECT_NEAR(p.dest.height(), 24000, 1e-6);
    EXPECT_GE(p.dest.left, c.left);
    EXPECT_LE(p.dest.right, c.right + 1e-9);
    EXPECT_GE(p.dest.top, c.top + layout.lineHeight() - 1e-9);
    EXPECT_LE(p.captionBand.bottom, c.bottom + 1e-9);
    // Centred between the header and caption lines.
    const double free = c.height() - 2 * layout.lineHeight() - 24000;
    EXPECT_NEAR(p.dest.top, c.top + layout.lineHeight() + free / 2, 1e-6);
}

TEST(PrintLayout, FitPageByHeight) {
    const PrintLayout layout(PrintSettings{}, a4WithEdges());
    const PrintLayout::WholePage p = layout.placeWhole(1000, 4000);
    EXPECT_DOUBLE_EQ(p.dest.top, 1500);
    EXPECT_DOUBLE_EQ(p.dest.bottom, 27200);
    EXPECT_NEAR(p.dest.width(), 25700 / 4.0, 1e-9);
    EXPECT_NEAR(p.dest.left - 1000, 19000 - p.dest.right, 1e-9);
}

TEST(PrintLayout, CropsSidesOfAWidePicture) {
    PrintSettings s;
    s.size = PrintSize::Size10x8;
    const PrintLayout::WholePage p = PrintLayout(s, a4WithEdges()).placeWhole(4000, 3000);
    EXPECT_TRUE(p.cropped);
    EXPECT_DOUBLE_EQ(p.dest.left, 1000);
    EXPECT_DOUBLE_EQ(p.dest.right, 19000);
    EXPECT_EQ(p.source, (SourceRect{582, 0, 4000 - 2 * 582, 3000}));
    EXPECT_NEAR(p.dest.height(), 19050, 1e-9);
}

TEST(PrintLayout, CropsBottomOfATallPicture) {
    PrintSettings s;
    s.size = PrintSize::Custom;
    s.userWidth = 100;
    s.userHeight = 400;
    const PrintLayout::WholePage p = PrintLayout(s, a4WithEdges()).placeWhole(1000, 4000);
    EXPECT_TRUE(p.cropped);
    EXPECT_EQ(p.source, (SourceRect{0, 0, 1000, 4000 - 1430}));
    EXPECT_DOUBLE_EQ(p.dest.bottom, 27200);
    EXPECT_DOUBLE_EQ(p.dest.top, 1500);
}

TEST(PrintLayout, FixedSizeReservesTheCaption) {
    PrintSettings s;
    s.size = PrintSize::Custom;
    s.userWidth = 100;
    s.userHeight = 257; // exactly the available height
    s.drawCaption = 1;
    const PrintLayout layout(s, a4WithEdges());
    const PrintLayout::WholePage p = layout.placeWhole(1000, 2570);
    EXPECT_TRUE(p.cropped);
    EXPECT_NEAR(p.captionBand.bottom, 27200, 1e-6);
}

TEST(DeviceMapping, RoundsPerAxis) {
    const DeviceMapping m(600, 300);
    EXPECT_EQ(m.x(2540), 600);
    EXPECT_EQ(m.y(2540), 300);
    EXPECT_EQ(m.x(4050), 957); // 956.69
    EXPECT_EQ(m.y(4660), 550); // 550.39
    EXPECT_EQ(m.x(-2540), -600);
}

TEST(SheetPlacement, KeepsCellProportionsAtUnequalResolutions) {
    const PrintLayout layout(sheetDefaults(), a4WithEdges());
    const DeviceMapping m(600, 300);
    const SheetCell c = SheetPlacement::place(layout, m, 1, 2, 400, 300);
    const double mmW = c.cell.width() / 600.0 * 2540, mmH = c.cell.height() / 300.0 * 2540;
    EXPECT_NEAR(mmW, 4050, 2540.0 / 600);
    EXPECT_NEAR(mmH, 4660, 2540.0 / 300);
    // Every cell has the same pixel size.
    const SheetCell d = SheetPlacement::place(layout, m, 4, 3, 400, 300);
    EXPECT_EQ(c.cell.width(), d.cell.width());
    EXPECT_EQ(c.cell.height(), d.cell.height());
}

TEST(SheetPlacement, FitsCentresAndInsets) {
    PrintSettings s = sheetDefaults();
    s.horzFrameMargin = 0;
    s.vertFrameMargin = 0;
    const PrintLayout layout(s, a4WithEdges());
    const DeviceMapping m(2540, 2540); // one pixel per hundredth of a millimetre
    const SheetCell c = SheetPlacement::place(layout, m, 0, 0, 100, 100);
    EXPECT_EQ(c.cell, (PixelRect{1000, 1500, 5050, 6160}));
    // Full width 4050 (square picture, taller box), centred, then one pixel in.
    const int top = 1500 + (4660 - 4050 + 1) / 2;
    EXPECT_EQ(c.picture, (PixelRect{1001, top + 1, 5049, top + 4049}));
}

TEST(SheetPlacement, ZeroEdgesMoveToOne) {
    PrintSettings s = sheetDefaults();
    s.leftMargin = s.topMargin = 0;
    s.horzFrameMargin = s.vertFrameMargin = 0;
    s.columnCount = 1;
    s.rowCount = 1;
    const PrintLayout layout(s, a4WithEdges());
    const SheetCell c = SheetPlacement::place(layout, DeviceMapping(254, 254), 0, 0, 2000, 10);
    EXPECT_EQ(c.picture.left, 2); // 0 -> 1, then one pixel in
}

TEST(SheetPlacement, CaptionAndFrameMarginsShrinkTheBox) {
    PrintSettings s = sheetDefaults();
    s.drawCaption = 1;
    const PrintLayout layout(s, a4WithEdges());
    const DeviceMapping m(2540, 2540);
    const SheetCell c = SheetPlacement::place(layout, m, 0, 0, 1000, 1);
    EXPECT_EQ(c.caption.height(), 353);
    EXPECT_EQ(c.band.bottom, c.caption.top);
    EXPECT_EQ(c.picture.width(), 4050 - 600 - 2);
}

TEST(PreviewFrame, PortraitUsesTheFullHeight) {
    PageGeometry g = a4WithEdges();
    const PreviewFrame f = previewFrame(300, 380, g);
    EXPECT_EQ(f.paper.top, 0);
    EXPECT_EQ(f.paper.height(), 380);
    EXPECT_EQ(f.paper.width(), 268);
    EXPECT_EQ(f.paper.left, 16);
    EXPECT_DOUBLE_EQ(f.scale, 380 / 29700.0);
    g.paperWidthMm = 297;
    g.paperHeightMm = 210;
    const PreviewFrame l = previewFrame(300, 380, g);
    EXPECT_EQ(l.paper.width(), 300);
    EXPECT_EQ(l.paper.height(), 212);
    EXPECT_EQ(l.paper.top, (380 - 212 + 1) / 2);
    EXPECT_TRUE(previewFrame(0, 10, g).paper.empty());
}

TEST(PrintRefusal, BadInputIsRefused) {
    const PageGeometry a4 = a4WithEdges();
    PrintSettings s = sheetDefaults();
    EXPECT_FALSE(checkPrintable(s, a4));
    EXPECT_EQ(checkPrintable(s, a4, 0).messageId, res::IDS_PRINT_BAD_COPIES);
    s.leftMargin = -1;
    EXPECT_EQ(checkPrintable(s, a4).messageId, res::IDS_PRINT_BAD_MARGIN);
    s = sheetDefaults();
    s.columnCount = 11;
    const PrintRefusal r = checkPrintable(s, a4);
    EXPECT_EQ(r.messageId, res::IDS_PRINT_BAD_COLUMNS);
    EXPECT_EQ(refusalMessage(r), "한 줄의 사진 수(열)는 1부터 10까지 넣을 수 있습니다.");
    s = sheetDefaults();
    s.rowCount = 0;
    EXPECT_EQ(checkPrintable(s, a4).messageId, res::IDS_PRINT_BAD_ROWS);
    s = sheetDefaults();
    s.horzSpace = 48;
    EXPECT_EQ(checkPrintable(s, a4).messageId, res::IDS_PRINT_BAD_HORZ_SPACE);
    s = sheetDefaults();
    s.leftMargin = s.rightMargin = 100;
    EXPECT_EQ(checkPrintable(s, a4).messageId, res::IDS_PRINT_NO_ROOM);
    s = sheetDefaults();
    s.horzFrameMargin = 17;
    const PrintRefusal f = checkPrintable(s, a4);
    EXPECT_EQ(f.messageId, res::IDS_PRINT_BAD_HORZ_FRAME_MARGIN);
    EXPECT_EQ(refusalMessage(f), "프레임 가로 여백은 0 mm부터 16.2 mm까지 넣을 수 있습니다.");
    s = sheetDefaults();
    s.drawCaption = 1;
    s.fontHeight = 2000;
    s.vertFrameMargin = 10;
    EXPECT_EQ(checkPrintable(s, a4).messageId, res::IDS_PRINT_NO_ROOM);
    PrintSettings w;
    w.topMargin = w.bottomMargin = 143;
    w.drawHeader = 1;
    EXPECT_EQ(checkPrintable(w, a4).messageId, res::IDS_PRINT_NO_ROOM);
    w = PrintSettings{};
    w.size = PrintSize::Custom;
    EXPECT_EQ(checkPrintable(w, a4).messageId, res::IDS_PRINT_BAD_CUSTOM_SIZE);
    w.userWidth = 10;
    w.userHeight = 10;
    EXPECT_FALSE(checkPrintable(w, a4));
    EXPECT_EQ(checkPrintable(w, PageGeometry{}).messageId, res::IDS_PRINT_BAD_PAGE);
}
