#include "frames/fontfallback.h"
#include "frames/framecomposer.h"
#include "frames/overlays.h"
#include "imaging/picturesaver.h"
#include "tests/frames/skinfixture.h"
#include "tests/support/scratchdir.h"

#include <QFontDatabase>
#include <QRawFont>

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace kamelo;
using namespace kamelo::frames;
using kamelo::test::ScratchDir;

namespace {

constexpr uint32_t kGrey = 0x406080;

imaging::Bitmap canvas(int w, int h, uint32_t rgb = kGrey) {
    imaging::Bitmap b;
    b.create(w, h, rgb);
    return b;
}

std::string writeTag(const ScratchDir& dir, int w, int h, uint32_t rgb = 0xFF0000) {
    const std::string path = dir.file("tag" + std::to_string(w) + "x" + std::to_string(h) + ".png");
    imaging::PictureSaver::save(canvas(w, h, rgb), path, imaging::saveformat::kPng);
    return path;
}

// Pixels that differ from the plain canvas, as a bounding box.
struct Changed {
    int count = 0, x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
};
Changed changed(const imaging::Bitmap& b, uint32_t plain) {
    Changed c;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (b.pixel(x, y) != plain) {
                ++c.count;
                c.x0 = std::min(c.x0, x);
                c.y0 = std::min(c.y0, y);
                c.x1 = std::max(c.x1, x);
                c.y1 = std::max(c.y1, y);
            }
    return c;
}

DecorationRecord textRecord(const std::string& text, int anchor = 7) {
    DecorationRecord r;
    r.drawText = 1;
    r.text = text;
    r.fontFace = "굴림";
    r.fontSize = 20;
    r.textColour = 0x0000FF; // red in the lowest byte
    r.textPosition = anchor;
    r.rendering = 2;
    return r;
}

// Every pixel outside the text's box (rounded out) is as it was.
void expectOnlyBoxTouched(const imaging::Bitmap& b, const DecorationRecord& r, uint32_t plain) {
    const QRectF box = layOutText(r, b.width(), b.height()).area;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const bool inside = x >= std::floor(box.left()) && x < std::ceil(box.right()) &&
                                y >= std::floor(box.top()) && y < std::ceil(box.bottom());
            if (!inside && b.pixel(x, y) != plain) {
                ADD_FAILURE() << "pixel " << x << "," << y << " outside the box changed";
                return;
            }
        }
}

class Overlay : public ::testing::Test {
protected:
    void SetUp() override { test::ensureGui(); }
};

} // namespace

TEST_F(Overlay, TagAtNineAnchorsWithOddSizes) {
    ScratchDir dir;
    const int cw = 41, ch = 31, w = 5, h = 3;
    const std::string tag = writeTag(dir, w, h);
    const int xs[3] = {0, 20 - 2, 36}, ys[3] = {28, 0, 15 - 1};
    for (int a = 0; a < 9; ++a) {
        imaging::Bitmap b = canvas(cw, ch);
        DecorationRecord r;
        r.drawTag = 1;
        r.tagPath = tag;
        r.tagPosition = a;
        // Offsets that keep it inside.
        r.tagOffsetX = a % 3 == 2 ? -1 : 1;
        r.tagOffsetY = a / 3 == 0 ? -1 : 1;
        drawOverlays(b, r);
        const Changed c = changed(b, kGrey);
        const int x = xs[a % 3] + r.tagOffsetX, y = ys[a / 3] + r.tagOffsetY;
        EXPECT_EQ(c.count, w * h) << a;
        EXPECT_EQ(c.x0, x) << a;
        EXPECT_EQ(c.y0, y) << a;
        EXPECT_EQ(b.pixel(x, y), 0xFF0000u);
    }
}

TEST_F(Overlay, TagOutsideTheCanvasIsClipped) {
    ScratchDir dir;
    const std::string big = writeTag(dir, 60, 50);
    imaging::Bitmap b = canvas(41, 31);
    DecorationRecord r;
    r.drawTag = 1;
    r.tagPath = big;
    r.tagPosition = 2; // x = 41 - 60: clipped on the left
    drawOverlays(b, r);
    EXPECT_EQ(changed(b, kGrey).count, 41 * 31);
    for (auto [dx, dy] : {std::pair{-100000, 0},
                          {0, 100000},
                          {INT32_MAX, INT32_MAX},
                          {INT32_MIN, INT32_MIN},
                          {-59, -49}}) {
        imaging::Bitmap c = canvas(41, 31);
        r.tagPosition = 3;
        r.tagOffsetX = dx;
        r.tagOffsetY = dy;
        drawOverlays(c, r);
        EXPECT_LE(changed(c, kGrey).count, 1) << dx << "," << dy;
    }
    imaging::Bitmap c = canvas(41, 31);
    r.tagPath = dir.file("missing.png");
    drawOverlays(c, r);
    EXPECT_EQ(changed(c, kGrey).count, 0);
}

TEST_F(Overlay, KoreanTextInGulimHasEveryGlyph) {
    const QString face = faceForDrawing(QStringLiteral("굴림"));
    ASSERT_FALSE(face.isEmpty());
    EXPECT_TRUE(QFontDatabase::hasFamily(face)) << face.toStdString();
    const DecorationRecord r = textRecord("가을 하늘 사진첩");
    const QRawFont raw = QRawFont::fromFont(layOutText(r, 400, 100).font);
    for (const QChar ch : QStringLiteral("가을하늘사진첩"))
        EXPECT_TRUE(raw.supportsCharacter(ch)) << face.toStdString();
    imaging::Bitmap b = canvas(400, 100, 0xFFFFFF);
    drawOverlays(b, r);
    EXPECT_GT(changed(b, 0xFFFFFF).count, 50);
    // A face the system has is used as it is.
    const QString have = koreanFallbackFace();
    EXPECT_EQ(faceForDrawing(have), have);
}

TEST_F(Overlay, RedTextInTwoColoursWithoutAntialiasing) {
    imaging::Bitmap b = canvas(300, 80, 0xFFFFFF);
    const DecorationRecord r = textRecord("가나다 ABC");
    drawOverlays(b, r);
    std::set<uint32_t> colours;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            colours.insert(b.pixel(x, y));
    EXPECT_EQ(colours, (std::set<uint32_t>{0xFFFFFF, 0xFF0000}));
    expectOnlyBoxTouched(b, r, 0xFFFFFF);
}

TEST_F(Overlay, AntialiasedTextHasInBetweenColours) {
    for (int rendering : {0, 1, 7}) {
        imaging::Bitmap b = canvas(300, 80, 0xFFFFFF);
        DecorationRecord r = textRecord("가나다 ABC");
        r.rendering = rendering;
        drawOverlays(b, r);
        std::set<uint32_t> colours;
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x)
                colours.insert(b.pixel(x, y));
        EXPECT_GT(colours.size(), 2u) << rendering;
        EXPECT_TRUE(colours.count(0xFF0000)) << rendering;
        expectOnlyBoxTouched(b, r, 0xFFFFFF);
    }
}

TEST_F(Overlay, AlphaBlendsWithThePicture) {
    DecorationRecord r = textRecord("가나다 ABC");
    r.textAlpha = 0;
    imaging::Bitmap b = canvas(300, 80, 0xFFFFFF);
    drawOverlays(b, r);
    EXPECT_EQ(changed(b, 0xFFFFFF).count, 0);
    r.textAlpha = 128;
    b = canvas(300, 80, 0xFFFFFF);
    drawOverlays(b, r);
    std::set<uint32_t> colours;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            colours.insert(b.pixel(x, y));
    ASSERT_EQ(colours.size(), 2u);
    const uint32_t ink = *colours.begin() == 0xFFFFFF ? *colours.rbegin() : *colours.begin();
    EXPECT_EQ(ink >> 16, 0xFFu);
    EXPECT_NEAR(int((ink >> 8) & 0xFF), 127, 2);
    EXPECT_NEAR(int(ink & 0xFF), 127, 2);
}

TEST_F(Overlay, TextIsCentredByItsMeasuredBox) {
    DecorationRecord r = textRecord("Kamelo 사진");
    const QRectF box = layOutText(r, 301, 121).box;
    EXPECT_DOUBLE_EQ(box.center().x(), 150.0);
    EXPECT_DOUBLE_EQ(box.center().y(), 60.0);
    r.textOffsetX = 10;
    r.textOffsetY = -5;
    EXPECT_DOUBLE_EQ(layOutText(r, 301, 121).box.center().x(), 160.0);
    EXPECT_DOUBLE_EQ(layOutText(r, 301, 121).box.center().y(), 55.0);
    r.textPosition = 0;
    EXPECT_DOUBLE_EQ(layOutText(r, 301, 121).box.bottom(), 121.0 - 5);
}

TEST_F(Overlay, LineBreaksMakeLinesAndPointsAreAt96Dpi) {
    DecorationRecord r = textRecord("한 줄");
    const QRectF one = layOutText(r, 500, 500).box;
    r.text = "한 줄\n두 줄\n세 줄";
    const QRectF three = layOutText(r, 500, 500).box;
    EXPECT_GT(three.height(), 2.5 * one.height());
    r.text = "한 줄";
    r.fontSize = 72; // 96 pixels to the em
    const QRectF big = layOutText(r, 500, 500).box;
    EXPECT_GE(big.height(), 96.0);
    EXPECT_LT(big.height(), 96.0 * 1.8);
    EXPECT_NEAR(big.height() / one.height(), 72.0 / 20.0, 0.4);
}

TEST_F(Overlay, TextOutsideOrEmptyTouchesNothingOutsideItsBox) {
    for (auto [dx, dy] :
         {std::pair{-140, 0}, {0, 30}, {100000, 0}, {INT32_MIN, INT32_MAX}, {-1000, -1000}}) {
        imaging::Bitmap b = canvas(120, 40, 0xFFFFFF);
        DecorationRecord r = textRecord("가나다라마바사 long text");
        r.textOffsetX = dx;
        r.textOffsetY = dy;
        drawOverlays(b, r);
        expectOnlyBoxTouched(b, r, 0xFFFFFF);
    }
    imaging::Bitmap b = canvas(120, 40, 0xFFFFFF);
    drawOverlays(b, textRecord(""));
    drawOverlays(b, textRecord("\n\n"));
    EXPECT_EQ(changed(b, 0xFFFFFF).count, 0);
    DecorationRecord off = textRecord("가나다");
    off.drawText = 0;
    drawOverlays(b, off);
    EXPECT_EQ(changed(b, 0xFFFFFF).count, 0);
}

TEST_F(Overlay, StylesChangeTheInk) {
    imaging::Bitmap plain = canvas(300, 80, 0xFFFFFF), bold = plain, under = plain;
    DecorationRecord r = textRecord("가나다 ABC");
    drawOverlays(plain, r);
    r.bold = 1;
    drawOverlays(bold, r);
    r.bold = 0;
    r.underline = 1;
    drawOverlays(under, r);
    EXPECT_GT(changed(bold, 0xFFFFFF).count, changed(plain, 0xFFFFFF).count);
    EXPECT_GT(changed(under, 0xFFFFFF).count, changed(plain, 0xFFFFFF).count);
}

TEST_F(Overlay, TagThenTextOnTheFramedPicture) {
    ScratchDir dir;
    const std::string ini = test::writeTightSkin(dir.path(), "s", test::TightSkin());
    imaging::Bitmap p = canvas(200, 100, 0xFFFFFF);
    DecorationRecord r = textRecord("가");
    r.frameIndex = 1;
    r.skinPath = ini;
    r.drawTag = 1;
    r.tagPath = writeTag(dir, 200 + 16, 100 + 18, 0x00FF00); // covers the whole canvas
    r.textPosition = 3;
    std::string reason;
    ASSERT_EQ(decorate(p, r, reason), 1) << reason;
    EXPECT_EQ(p.width(), 216);
    EXPECT_EQ(p.pixel(p.width() - 1, p.height() - 1), 0x00FF00u);
    // The text came after the tag.
    bool red = false;
    for (int y = 0; y < 40 && !red; ++y)
        for (int x = 0; x < 40 && !red; ++x)
            red = p.pixel(x, y) == 0xFF0000u;
    EXPECT_TRUE(red);
}
