#include "base/pictureextensions.h"
#include "base/picturelist.h"
#include "base/settingsstore.h"
#include "base/windowplacement.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

using kamelo::PictureExtensions;
using kamelo::PictureList;
using kamelo::SettingsStore;
using kamelo::WindowPlacement;
using kamelo::WindowRect;

TEST(WindowPlacement, DefaultsUseIntegerEighths) {
    EXPECT_EQ(WindowPlacement::defaults(1024, 768), (WindowRect{128, 96, 768, 576}));
    // 1023 / 8 = 127, 127 * 6 = 762 (not 1023 * 6 / 8 = 767).
    EXPECT_EQ(WindowPlacement::defaults(1023, 767), (WindowRect{127, 95, 762, 570}));
}

TEST(WindowPlacement, BrowserValuesOffTheScreenFallBack) {
    const int W = 1024, H = 768;
    EXPECT_EQ(WindowPlacement::clampBrowser({5000, 10, 600, 400}, W, H).x, 128);
    EXPECT_EQ(WindowPlacement::clampBrowser({-601, 10, 600, 400}, W, H).x, 128);
    EXPECT_EQ(WindowPlacement::clampBrowser({-600, 10, 600, 400}, W, H).x, -600);
    EXPECT_EQ(WindowPlacement::clampBrowser({0, 10, 1034, 400}, W, H).cx, 1034);
    EXPECT_EQ(WindowPlacement::clampBrowser({0, 10, 1035, 400}, W, H).cx, 768);
    EXPECT_EQ(WindowPlacement::clampBrowser({0, 769, 600, 400}, W, H).y, 96);
    EXPECT_EQ(WindowPlacement::clampBrowser({0, 0, 600, 779}, W, H).cy, 576);
    // A width that falls back also changes what counts as off the left edge.
    EXPECT_EQ(WindowPlacement::clampBrowser({-800, 0, 5000, 400}, W, H).x, 128);
}

TEST(WindowPlacement, ViewerValuesOutsideTheirRangesFallBack) {
    const int W = 1024, H = 768;
    EXPECT_EQ(WindowPlacement::clampViewer({0, 0, 200, 400}, W, H).cx, 768);
    EXPECT_EQ(WindowPlacement::clampViewer({0, 0, 385, 400}, W, H).cx, 385);
    EXPECT_EQ(WindowPlacement::clampViewer({0, 0, 500, 149}, W, H).cy, 576);
    EXPECT_EQ(WindowPlacement::clampViewer({-1025, 0, 500, 400}, W, H).x, 128);
    EXPECT_EQ(WindowPlacement::clampViewer({-1024, 0, 500, 400}, W, H).x, -1024);
    EXPECT_EQ(WindowPlacement::clampViewer({0, -1, 500, 400}, W, H).y, 96);
    EXPECT_EQ(WindowPlacement::clampViewer({0, 0, 1025, 769}, W, H), (WindowRect{0, 0, 768, 576}));
}

TEST(WindowPlacement, StoredPositionsRoundTripThroughTheStore) {
    kamelo::test::ScratchDir dir;
    SettingsStore store(dir.file("k.sqlite"));
    EXPECT_EQ(WindowPlacement::readBrowser(store, 1024, 768), (WindowRect{128, 96, 768, 576}));
    WindowPlacement::writeBrowser(store, {10, 20, 700, 500});
    EXPECT_EQ(WindowPlacement::readBrowser(store, 1024, 768), (WindowRect{10, 20, 700, 500}));
    store.setInt("position", "viewer cx", 200);
    EXPECT_EQ(WindowPlacement::readViewer(store, 1024, 768).cx, 768);
}

TEST(WindowPlacement, TheViewerFitsItsPictureWithinTheWorkArea) {
    // Small pictures get the minimum picture area plus the frame's parts.
    EXPECT_EQ(WindowPlacement::fitViewer(100, 50, 0, 1024, 768), (WindowRect{313, 254, 397, 260}));
    EXPECT_EQ(WindowPlacement::fitViewer(600, 400, 0, 1024, 768), (WindowRect{206, 129, 612, 510}));
    // The edit bar widens the wanted width.
    EXPECT_EQ(WindowPlacement::fitViewer(600, 400, 200, 1024, 768).cx, 812);
    // Too big: the whole work area.
    EXPECT_EQ(WindowPlacement::fitViewer(1013, 659, 0, 1024, 768), (WindowRect{0, 0, 1024, 768}));
    EXPECT_EQ(WindowPlacement::fitViewer(1012, 658, 0, 1024, 768), (WindowRect{0, 0, 1024, 768}));
    EXPECT_EQ(WindowPlacement::fitViewer(1011, 657, 0, 1024, 768), (WindowRect{0, 0, 1023, 767}));
}

TEST(WindowPlacement, SplitSizesRoundHalfUpAndDragsKeepOnlyInnerRatios) {
    EXPECT_EQ(WindowPlacement::splitSize(1000, 0.25f), 250);
    EXPECT_EQ(WindowPlacement::splitSize(402, 0.25f), 101); // 100.5 rounds up
    EXPECT_EQ(WindowPlacement::splitSize(401, 0.25f), 100); // 100.25
    EXPECT_FLOAT_EQ(WindowPlacement::ratioAfterDrag(300, 1000, 0.25f), 0.3f);
    EXPECT_FLOAT_EQ(WindowPlacement::ratioAfterDrag(0, 1000, 0.25f), 0.25f);
    EXPECT_FLOAT_EQ(WindowPlacement::ratioAfterDrag(1000, 1000, 0.7f), 0.7f);
    EXPECT_FLOAT_EQ(WindowPlacement::ratioAfterDrag(10, 0, 0.7f), 0.7f);
}

TEST(PictureList, NavigationWrapsAndOnlyMovesWhenAsked) {
    PictureList list;
    for (const char* p : {"/a.jpg", "/b.jpg", "/c.jpg"})
        list.append(p);
    EXPECT_EQ(list.next(false), 1);
    EXPECT_EQ(list.current(), 0);
    EXPECT_EQ(list.previous(false), 2);
    EXPECT_EQ(list.last(true), 2);
    EXPECT_EQ(list.next(true), 0);
    EXPECT_EQ(list.previous(true), 2);
    EXPECT_EQ(list.first(true), 0);
    list.setCurrent(-3);
    EXPECT_EQ(list.current(), 0);
    EXPECT_EQ(list.pathAt(5), "");
    EXPECT_EQ(list.pathAt(-1), "");
}

TEST(PictureList, RemovingTheLastEntryWrapsToTheFirst) {
    PictureList list;
    for (const char* p : {"/a.jpg", "/b.jpg", "/c.jpg"})
        list.append(p);
    list.setCurrent(1);
    list.removeCurrent();
    EXPECT_EQ(list.currentPath(), "/c.jpg");
    list.removeCurrent();
    EXPECT_EQ(list.current(), 0);
    EXPECT_EQ(list.currentPath(), "/a.jpg");
    list.removeCurrent();
    EXPECT_TRUE(list.empty());
    list.removeCurrent(); // nothing left: no effect
}

TEST(PictureExtensions, TheTwentyAndTheNewerExtensionsInAnyCase) {
    for (const char* e :
         {"jpg",  "JPEG", "Bmp", "tif", "tiff", "tga", "png", "wmf", "pcx",  "pcd",  "emf", "ico",
          "cur",  "dcx",  "PCT", "iff", "gif",  "psd", "ras", "sgi", "heic", "HEIF", "hif", "avif",
          "WebP", "jxl",  "dng", "CR2", "cr3",  "nef", "arw", "orf", "rw2",  "raf",  "pef"})
        EXPECT_TRUE(PictureExtensions::isPicture(e)) << e;
    for (const char* e : {"", "jp", "jpgs", "txt", "rgb", "pict", "heics", "raw", "mp4"})
        EXPECT_FALSE(PictureExtensions::isPicture(e)) << e;
    EXPECT_TRUE(PictureExtensions::isPicturePath("/home/u/Photo.JPG"));
    EXPECT_FALSE(PictureExtensions::isPicturePath("/home/u.jpg/readme"));
    EXPECT_FALSE(PictureExtensions::isPicturePath("/home/u/jpg"));
}
