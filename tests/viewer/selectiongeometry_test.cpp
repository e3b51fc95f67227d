#include "viewer/core/selectiongeometry.h"

#include <gtest/gtest.h>

using namespace kamelo;
using P = SelectionPart;

TEST(SelectionGeometry, HitTestOrderCornersThenEdgesThenInside) {
    const SelectionRect r{100, 100, 200, 180};
    EXPECT_EQ(SelectionGeometry::hitTest(r, 200, 180), P::BottomRight);
    EXPECT_EQ(SelectionGeometry::hitTest(r, 96, 184), P::BottomLeft);
    EXPECT_EQ(SelectionGeometry::hitTest(r, 100, 100), P::TopLeft);
    EXPECT_EQ(SelectionGeometry::hitTest(r, 204, 96), P::TopRight);
    EXPECT_EQ(SelectionGeometry::hitTest(r, 98, 140), P::Left);
    EXPECT_EQ(SelectionGeometry::hitTest(r, 150, 103), P::Top);
    EXPECT_EQ(SelectionGeometry::hitTest(r, 202, 140), P::Right);
    EXPECT_EQ(SelectionGeometry::hitTest(r, 150, 177), P::Bottom);
    EXPECT_EQ(SelectionGeometry::hitTest(r, 150, 140), P::Inside);
    EXPECT_EQ(SelectionGeometry::hitTest(r, 50, 50), P::Outside);
    // A tiny selection: the corners win over everything else.
    const SelectionRect tiny{10, 10, 14, 14};
    EXPECT_EQ(SelectionGeometry::hitTest(tiny, 12, 12), P::BottomRight);
}

TEST(SelectionGeometry, ProportionHoldingKeepsTheShapeAndTheAnchor) {
    const ViewRect pic{0, 0, 1000, 1000};
    // Free: anchor to pointer, either direction.
    EXPECT_EQ(SelectionGeometry::span(100, 100, 50, 300, pic, false, 10, 8, false),
              (SelectionRect{50, 100, 100, 300}));
    // 10:8 inside a 200 x 200 box: 200 x 160.
    EXPECT_EQ(SelectionGeometry::span(100, 100, 300, 300, pic, true, 10, 8, false),
              (SelectionRect{100, 100, 300, 260}));
    // Swapped: 8:10, 160 x 200.
    EXPECT_EQ(SelectionGeometry::span(100, 100, 300, 300, pic, true, 10, 8, true),
              (SelectionRect{100, 100, 260, 300}));
    // Dragged up and left the anchor stays the bottom-right corner.
    EXPECT_EQ(SelectionGeometry::span(300, 300, 100, 100, pic, true, 10, 8, false),
              (SelectionRect{100, 140, 300, 300}));
    // The pointer is held inside the picture.
    EXPECT_EQ(SelectionGeometry::span(900, 900, 2000, 950, pic, false, 1, 1, false),
              (SelectionRect{900, 900, 1000, 950}));
}

TEST(SelectionGeometry, MovingClippingAndPicturePixels) {
    const ViewRect pic{50, 20, 400, 300};
    const SelectionRect r{100, 100, 200, 150};
    EXPECT_EQ(SelectionGeometry::moved(r, -500, 0, pic), (SelectionRect{50, 100, 150, 150}));
    EXPECT_EQ(SelectionGeometry::moved(r, 500, 500, pic), (SelectionRect{350, 270, 450, 320}));
    EXPECT_EQ(SelectionGeometry::clipped({0, 0, 1000, 1000}, pic),
              (SelectionRect{50, 20, 450, 320}));
    // At 50 % one window pixel is two picture pixels.
    EXPECT_EQ(SelectionGeometry::toPicture(r, pic, 0.5), (SelectionRect{100, 160, 300, 260}));
    int w = 1000, h = 40;
    const SelectionRect sized = SelectionGeometry::withSize(r, pic, 0.5, 800, 600, w, h);
    EXPECT_EQ(w, 700); // limited by the picture's width (800 - 100)
    EXPECT_EQ(h, 40);
    EXPECT_EQ(sized, (SelectionRect{100, 100, 450, 120}));
}
