#include "frames/core/anchor.h"
#include "frames/core/skindefinition.h"
#include "frames/core/skinlayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

using namespace kamelo::frames;
using K = PieceCopy::Kind;

namespace {

constexpr int64_t kLimit = int64_t(1) << 28;

// A symmetric skin in a 40 x 40 bitmap: corners 8 x 8, edges 6 thick.
SkinDefinition symmetric() {
    SkinDefinition s;
    s.caption = "x";
    s.startX = s.startY = 6;
    s.marginX = s.marginY = 12;
    s.topLeftCx = s.topLeftCy = s.topRightCx = s.topRightCy = 8;
    s.bottomLeftCx = s.bottomLeftCy = s.bottomRightCx = s.bottomRightCy = 8;
    s.topCx = 5;
    s.topCy = 6;
    s.bottomCx = 5;
    s.bottomCy = 6;
    s.leftCx = 6;
    s.leftCy = 5;
    s.rightCx = 6;
    s.rightCy = 5;
    return s;
}

std::vector<PieceCopy> of(const FrameLayout& l, K kind) {
    std::vector<PieceCopy> out;
    std::copy_if(l.copies.begin(), l.copies.end(), std::back_inserter(out),
                 [kind](const PieceCopy& c) { return c.kind == kind; });
    return out;
}

FrameLayout layOutOk(const SkinDefinition& s, int w, int h, int sw = 40, int sh = 40) {
    FrameLayout l;
    EXPECT_EQ(layOut(s, sw, sh, w, h, kLimit, l), SkinFault::None);
    return l;
}

} // namespace

TEST(FrameLayout, TenStepsInOrder) {
    const FrameLayout l = layOutOk(symmetric(), 30, 20);
    EXPECT_EQ(l.canvasWidth, 42);
    EXPECT_EQ(l.canvasHeight, 32);
    std::vector<K> order;
    for (const PieceCopy& c : l.copies)
        if (order.empty() || order.back() != c.kind)
            order.push_back(c.kind);
    const std::vector<K> expected = {K::TopLeft, K::Top,   K::TopRight,    K::Left,   K::BottomLeft,
                                     K::Bottom,  K::Right, K::BottomRight, K::Picture};
    EXPECT_EQ(order, expected);
    const PieceCopy& pic = l.copies.back();
    EXPECT_EQ(pic.dx, 6);
    EXPECT_EQ(pic.dy, 6);
    EXPECT_EQ(pic.width, 30);
    EXPECT_EQ(pic.height, 20);
}

TEST(FrameLayout, PieceSourcesFollowTheBitmapLayout) {
    const FrameLayout l = layOutOk(symmetric(), 30, 20);
    const PieceCopy tr = of(l, K::TopRight)[0];
    EXPECT_EQ(tr.sx, 32);
    EXPECT_EQ(tr.sy, 0);
    EXPECT_EQ(tr.dx, 42 - 8);
    const PieceCopy bottom = of(l, K::Bottom)[0];
    EXPECT_EQ(bottom.sx, 8);
    EXPECT_EQ(bottom.sy, 34);
    EXPECT_EQ(bottom.dy, 32 - 6);
    const PieceCopy right = of(l, K::Right)[0];
    EXPECT_EQ(right.sx, 34);
    EXPECT_EQ(right.sy, 8);
    EXPECT_EQ(right.dx, 42 - 6);
    EXPECT_EQ(right.dy, 8);
    const PieceCopy br = of(l, K::BottomRight)[0];
    EXPECT_EQ(br.sx, 32);
    EXPECT_EQ(br.sy, 32);
    EXPECT_EQ(br.dx, 34);
    EXPECT_EQ(br.dy, 24);
}

TEST(FrameLayout, EdgeCountsAreOneMoreThanFit) {
    // Gap between the corners: CW - 16 with CW = W + 12; pieces of 5.
    for (int w = 4; w <= 40; ++w) {
        const FrameLayout l = layOutOk(symmetric(), w, 20);
        const int gap = std::max(0, l.canvasWidth - 16);
        const auto top = of(l, K::Top);
        ASSERT_EQ(int(top.size()), gap / 5 + 1) << "w=" << w;
        for (size_t k = 0; k < top.size(); ++k) {
            EXPECT_EQ(top[k].dx, 8 + int(k) * 5);
            EXPECT_EQ(top[k].dy, 0);
        }
        EXPECT_EQ(of(l, K::Bottom).size(), top.size());
    }
}

TEST(FrameLayout, PieceWiderThanTheGapGivesOne) {
    SkinDefinition s = symmetric();
    s.topCx = 24; // gap is 42 - 16 = 26 with W = 30: 26 div 24 = 1, two pieces
    EXPECT_EQ(of(layOutOk(s, 30, 20), K::Top).size(), 2u);
    EXPECT_EQ(of(layOutOk(s, 10, 20), K::Top).size(), 1u); // gap 6
    EXPECT_EQ(of(layOutOk(s, 1, 20), K::Top).size(), 1u);  // gap 0: corners meet
}

TEST(FrameLayout, AsymmetricEdgesLeaveNoGap) {
    SkinDefinition s = symmetric();
    s.topCx = 3;
    s.bottomCx = 7;
    s.bottomLeftCx = 5;
    s.bottomRightCx = 11;
    s.leftCy = 2;
    s.rightCy = 9;
    s.topRightCy = 4;
    s.bottomRightCy = 3;
    for (int w : {1, 7, 30, 33}) {
        const FrameLayout l = layOutOk(s, w, 21);
        // Every column of the bottom row and every row of the right column
        // is covered by its own edge or corners.
        const auto covered = [&l](K a, K b, K c, int length, bool alongX) {
            std::vector<bool> hit(size_t(length), false);
            for (const PieceCopy& p : l.copies) {
                if (p.kind != a && p.kind != b && p.kind != c)
                    continue;
                const int from = alongX ? p.dx : p.dy, n = alongX ? p.width : p.height;
                for (int i = std::max(0, from); i < std::min(length, from + n); ++i)
                    hit[size_t(i)] = true;
            }
            return std::all_of(hit.begin(), hit.end(), [](bool h) { return h; });
        };
        EXPECT_TRUE(covered(K::BottomLeft, K::Bottom, K::BottomRight, l.canvasWidth, true));
        EXPECT_TRUE(covered(K::TopRight, K::Right, K::BottomRight, l.canvasHeight, false));
        EXPECT_TRUE(covered(K::TopLeft, K::Top, K::TopRight, l.canvasWidth, true));
        EXPECT_TRUE(covered(K::TopLeft, K::Left, K::BottomLeft, l.canvasHeight, false));
        const int bottomGap = std::max(0, l.canvasWidth - 5 - 11);
        EXPECT_EQ(int(of(l, K::Bottom).size()), bottomGap / 7 + 1);
        const int rightGap = std::max(0, l.canvasHeight - 4 - 3);
        EXPECT_EQ(int(of(l, K::Right).size()), rightGap / 9 + 1);
    }
}

TEST(FrameLayout, SpecialPieceAtTheTopCentreForOddWidths) {
    SkinDefinition s = symmetric();
    s.attachOnTop = true;
    s.specialX = 10;
    s.specialY = 12;
    s.specialCx = 7;
    s.specialCy = 5;
    const FrameLayout l = layOutOk(s, 29, 20); // CW = 41
    ASSERT_EQ(l.copies.back().kind, K::Special);
    EXPECT_EQ(l.copies.back().dx, 41 / 2 - 7 / 2); // 17
    EXPECT_EQ(l.copies.back().dy, 0);
    EXPECT_EQ(l.copies.back().sx, 10);
    EXPECT_EQ(l.copies.back().sy, 12);
    s.attachOnTop = false;
    EXPECT_EQ(layOutOk(s, 29, 20).copies.back().kind, K::Picture);
}

TEST(FrameSkinCheck, SymmetricSkinIsValid) {
    EXPECT_EQ(checkSkin(symmetric(), 40, 40), SkinFault::None);
}

TEST(FrameSkinCheck, ZeroAndNegativeNumbersAreRefused) {
    int32_t SkinDefinition::*fields[] = {
        &SkinDefinition::marginX,       &SkinDefinition::marginY,
        &SkinDefinition::topLeftCx,     &SkinDefinition::topLeftCy,
        &SkinDefinition::topCx,         &SkinDefinition::topCy,
        &SkinDefinition::topRightCx,    &SkinDefinition::topRightCy,
        &SkinDefinition::leftCx,        &SkinDefinition::leftCy,
        &SkinDefinition::bottomLeftCx,  &SkinDefinition::bottomLeftCy,
        &SkinDefinition::bottomCx,      &SkinDefinition::bottomCy,
        &SkinDefinition::rightCx,       &SkinDefinition::rightCy,
        &SkinDefinition::bottomRightCx, &SkinDefinition::bottomRightCy};
    for (auto field : fields) {
        for (int32_t bad : {0, -1, INT_MIN}) {
            SkinDefinition s = symmetric();
            s.*field = bad;
            EXPECT_EQ(checkSkin(s, 40, 40), SkinFault::Invalid) << bad;
        }
    }
}

TEST(FrameSkinCheck, StartOutsideTheMarginIsRefused) {
    for (auto [x, y] : {std::pair{-1, 6}, {6, -1}, {13, 6}, {6, 13}}) {
        SkinDefinition s = symmetric();
        s.startX = x;
        s.startY = y;
        EXPECT_EQ(checkSkin(s, 40, 40), SkinFault::Invalid);
    }
    SkinDefinition s = symmetric();
    s.startX = 0;
    s.startY = 12; // the margin's ends are allowed
    EXPECT_EQ(checkSkin(s, 40, 40), SkinFault::None);
}

TEST(FrameSkinCheck, PiecesOutsideTheBitmapAreRefused) {
    EXPECT_EQ(checkSkin(symmetric(), 12, 40), SkinFault::Invalid);
    EXPECT_EQ(checkSkin(symmetric(), 40, 12), SkinFault::Invalid);
    SkinDefinition s = symmetric();
    s.topCx = 25; // 8 + 25 > 32 would still fit in 40; 8 + 33 does not
    EXPECT_EQ(checkSkin(s, 40, 40), SkinFault::None);
    s.topCx = 33;
    EXPECT_EQ(checkSkin(s, 40, 40), SkinFault::Invalid);
    s = symmetric();
    s.leftCy = INT_MAX; // the sum must not wrap round
    EXPECT_EQ(checkSkin(s, 40, 40), SkinFault::Invalid);
    s = symmetric();
    s.attachOnTop = true;
    s.specialX = 35;
    s.specialCx = 6;
    s.specialCy = 1;
    EXPECT_EQ(checkSkin(s, 40, 40), SkinFault::Invalid);
    s.specialX = 34;
    EXPECT_EQ(checkSkin(s, 40, 40), SkinFault::None);
    s.specialY = -1;
    EXPECT_EQ(checkSkin(s, 40, 40), SkinFault::Invalid);
    EXPECT_EQ(checkSkin(symmetric(), 13, 13), SkinFault::None); // pieces may share pixels
    EXPECT_EQ(checkSkin(symmetric(), 0, 0), SkinFault::Invalid);
}

TEST(FrameSkinCheck, HugeMarginsAreTooLarge) {
    SkinDefinition s = symmetric();
    s.marginX = INT_MAX;
    s.startX = 6;
    FrameLayout l;
    EXPECT_EQ(layOut(s, 40, 40, 100, 100, kLimit, l), SkinFault::TooLarge);
    EXPECT_TRUE(l.copies.empty());
    s = symmetric();
    s.marginY = 1 << 20;
    EXPECT_EQ(layOut(s, 40, 40, 1000, 100, kLimit, l), SkinFault::TooLarge);
    // Just inside the limit.
    EXPECT_EQ(layOut(symmetric(), 40, 40, 1000 - 12, 1000 - 12, 1000 * 1000, l), SkinFault::None);
    EXPECT_EQ(layOut(symmetric(), 40, 40, 1000 - 12, 1000 - 11, 1000 * 1000, l),
              SkinFault::TooLarge);
    // One-pixel pieces round a very long picture.
    s = symmetric();
    s.topCx = s.bottomCx = 1;
    EXPECT_EQ(layOut(s, 40, 40, 2000000, 1, kLimit, l), SkinFault::TooLarge);
}

TEST(FrameAnchor, TagAnchorsWithOddSizes) {
    const int cw = 101, ch = 51, w = 9, h = 7;
    const PointI expected[9] = {{0, 44}, {46, 44}, {92, 44}, {0, 0},  {46, 0},
                                {92, 0}, {0, 22},  {46, 22}, {92, 22}};
    for (int a = 0; a < 9; ++a) {
        const PointI p = tagAnchor(a, cw, ch, w, h);
        EXPECT_EQ(p.x, expected[a].x) << a;
        EXPECT_EQ(p.y, expected[a].y) << a;
    }
    EXPECT_EQ(tagAnchor(9, cw, ch, w, h).y, 44); // out of range acts as 0
    EXPECT_EQ(tagAnchor(-1, cw, ch, w, h).x, 0);
    EXPECT_EQ(tagAnchor(2, 10, 10, 30, 30).x, -20); // larger than the canvas
}

TEST(FrameAnchor, TextAnchorsKeepExactHalves) {
    const PointF c = textAnchor(7, 101, 51, 9.5, 7.25);
    EXPECT_DOUBLE_EQ(c.x, 50 - 4.75);
    EXPECT_DOUBLE_EQ(c.y, 25 - 3.625);
    const PointF br = textAnchor(2, 101, 51, 9.5, 7.25);
    EXPECT_DOUBLE_EQ(br.x, 91.5);
    EXPECT_DOUBLE_EQ(br.y, 43.75);
}
