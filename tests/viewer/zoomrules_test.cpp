#include "viewer/core/zoomrules.h"

#include <gtest/gtest.h>

using namespace kamelo;

TEST(ZoomRules, StepTablesAndTheirEdges) {
    EXPECT_DOUBLE_EQ(ZoomRules::zoomIn(0.95), 1.0);
    EXPECT_DOUBLE_EQ(ZoomRules::zoomIn(7.5), 10.0);
    EXPECT_DOUBLE_EQ(ZoomRules::zoomIn(0.05), 0.1);
    EXPECT_DOUBLE_EQ(ZoomRules::zoomIn(0.2), 0.30000000000000004);
    EXPECT_DOUBLE_EQ(ZoomRules::zoomIn(0.5), 0.8);
    EXPECT_DOUBLE_EQ(ZoomRules::zoomIn(1.0), 1.5);
    EXPECT_DOUBLE_EQ(ZoomRules::zoomIn(2.0), 3.0);
    EXPECT_DOUBLE_EQ(ZoomRules::zoomIn(5.0), 8.0);
    EXPECT_DOUBLE_EQ(ZoomRules::zoomIn(10.0), 20.0);
    EXPECT_DOUBLE_EQ(ZoomRules::zoomIn(50.0), 100.0);
    EXPECT_DOUBLE_EQ(ZoomRules::zoomIn(200.0), 200.0); // 20000 %: no further
    EXPECT_DOUBLE_EQ(ZoomRules::zoomIn(0.0), 0.1);

    EXPECT_DOUBLE_EQ(ZoomRules::zoomOut(1.05), 1.0);
    EXPECT_DOUBLE_EQ(ZoomRules::zoomOut(0.1), 0.1); // nothing below 11 %
    EXPECT_NEAR(ZoomRules::zoomOut(0.11), 0.01, 1e-12);
    EXPECT_DOUBLE_EQ(ZoomRules::zoomOut(1.0), 0.8);
    EXPECT_DOUBLE_EQ(ZoomRules::zoomOut(2.0), 1.5);
    EXPECT_DOUBLE_EQ(ZoomRules::zoomOut(5.0), 4.0);
    EXPECT_DOUBLE_EQ(ZoomRules::zoomOut(10.0), 7.0);
    EXPECT_DOUBLE_EQ(ZoomRules::zoomOut(50.0), 40.0);
    EXPECT_DOUBLE_EQ(ZoomRules::zoomOut(200.0), 150.0);
    EXPECT_DOUBLE_EQ(ZoomRules::zoomOut(200.5), 150.5); // above the table

    // Repeated steps land on the round values the tables name.
    double f = 0.1;
    for (int i = 0; i < 7; ++i)
        f = ZoomRules::zoomIn(f);          // 0.2 ... 0.8 through +0.1 and +0.3
    EXPECT_EQ(ZoomRules::percent(f), 150); // 0.2..0.5 by 0.1, 0.8, 1.0, then 1.5
}

TEST(ZoomRules, FitNeverEnlargesAndLayoutCentres) {
    EXPECT_DOUBLE_EQ(ZoomRules::fitFactor(300, 200, 800, 600), 1.0);
    EXPECT_DOUBLE_EQ(ZoomRules::fitFactor(1600, 600, 800, 600), 0.5); // width decides
    EXPECT_DOUBLE_EQ(ZoomRules::fitFactor(600, 1200, 800, 600), 0.5); // height decides
    EXPECT_EQ(ZoomRules::layout(300, 200, 800, 600, 1.0, true, 0, 0),
              (ViewRect{250, 200, 300, 200}));
    EXPECT_EQ(ZoomRules::layout(1600, 600, 800, 600, 1.0, true, 0, 0),
              (ViewRect{0, 150, 800, 300}));
    // A user factor: larger than the window, moved by the pan offset.
    EXPECT_EQ(ZoomRules::layout(400, 300, 800, 600, 2.5, false, -100, -20),
              (ViewRect{-100, -20, 1000, 750}));
    EXPECT_EQ(ZoomRules::layout(0, 10, 800, 600, 1.0, true, 0, 0), ViewRect{});
}

TEST(ZoomRules, ThePointUnderTheCentreStaysThere) {
    // 1000 wide at 1.0 in a 400 window, panned so that picture x 700 is centred.
    const int client = 400;
    int pan = -(700 - client / 2);
    const double centre = ZoomRules::relativeCentre(1000, client, pan);
    EXPECT_DOUBLE_EQ(centre, 0.7);
    // Zoomed to 2.0: 2000 wide, the same picture point (1400) is centred.
    pan = ZoomRules::panAfterZoom(2000, client, centre);
    EXPECT_EQ(client / 2 - pan, 1400);
    // Near an edge the picture is held against it.
    pan = ZoomRules::panAfterZoom(2000, client, 0.99);
    EXPECT_EQ(pan, client - 2000);
    EXPECT_EQ(ZoomRules::panAfterZoom(300, client, 0.7), 0); // fits
    EXPECT_DOUBLE_EQ(ZoomRules::relativeCentre(300, client, 0), 0.5);
}

TEST(ZoomRules, PanLimitsOnDragAndResize) {
    EXPECT_EQ(ZoomRules::panBy(0, 50, 1000, 400), 0);      // never positive
    EXPECT_EQ(ZoomRules::panBy(0, -900, 1000, 400), -600); // far edge stays out
    EXPECT_EQ(ZoomRules::panBy(-100, -50, 1000, 400), -150);
    EXPECT_EQ(ZoomRules::panBy(-100, -50, 300, 400), 0); // fits: no pan
    EXPECT_EQ(ZoomRules::panAfterResize(-600, 1000, 500), -500);
    EXPECT_EQ(ZoomRules::panAfterResize(-100, 1000, 500), -100);
    EXPECT_EQ(ZoomRules::panAfterResize(-100, 1000, 1200), 0);
    EXPECT_EQ(ZoomRules::panAfterResize(30, 1000, 500), 0);
}
