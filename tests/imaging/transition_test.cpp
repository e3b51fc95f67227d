#include "imaging/slideframe.h"
#include "imaging/transition.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

using namespace kamelo::imaging;

namespace {

// Busy pictures so that no frame of a change can equal either end by chance:
// "from" dark, "to" bright, both with per-pixel noise.
QImage busy(QSize size, int low, int high, uint32_t seed) {
    QImage img(size, QImage::Format_RGB32);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> v(low, high);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            img.setPixel(x, y, qRgb(v(rng), v(rng), v(rng)));
    return img;
}

std::vector<Transition::Effect> everyEffect() {
    std::vector<Transition::Effect> all;
    for (int i = 0; i < Transition::kEffectCount; ++i) {
        all.push_back(Transition::showEffect(Transition::effectNumber(i)));
        all.push_back(Transition::previewEffect(i));
    }
    // The other directions and styles the fields name.
    for (int third = 1; third <= 4; ++third)
        all.push_back({Transition::kPush, third, 3});
    for (int fourth = 1; fourth <= 4; ++fourth) {
        all.push_back({Transition::kBlinds, 7, fourth});
        all.push_back({Transition::kPixelDrop, 9, fourth});
    }
    for (int third = 1; third <= 2; ++third)
        for (int fourth : {1, 2, 5}) {
            all.push_back({Transition::kCircle, third, fourth});
            all.push_back({Transition::kRectangle, third, fourth});
            all.push_back({Transition::kFourWays, third, fourth});
        }
    return all;
}

} // namespace

TEST(Transition, EffectListAndTables) {
    const int numbers[] = {1038, 5000, 12005, 2070, 15000, 3001, 11000, 10000};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(Transition::effectNumber(i), numbers[i]);
    EXPECT_EQ(Transition::effectNumber(-1), 1000);
    EXPECT_EQ(Transition::effectNumber(8), 1000);
    const auto show = [](int n) {
        const Transition::Effect e = Transition::showEffect(n);
        return std::pair{e.third, e.fourth};
    };
    EXPECT_EQ(show(3001), std::pair(2, 1));
    EXPECT_EQ(show(15000), std::pair(2, 1));
    EXPECT_EQ(show(2070), std::pair(2, 4));
    EXPECT_EQ(show(5000), std::pair(5, 1));
    EXPECT_EQ(show(10000), std::pair(23, 1));
    EXPECT_EQ(show(11000), std::pair(20, 1));
    EXPECT_EQ(show(12005), std::pair(5, 3));
    EXPECT_EQ(show(1000), std::pair(15, 1));
    EXPECT_EQ(show(1038), std::pair(15, 1));
    const auto preview = [](int i) {
        const Transition::Effect e = Transition::previewEffect(i);
        return std::tuple{e.number, e.third, e.fourth};
    };
    EXPECT_EQ(preview(-1), std::tuple(1000, 1, 1));
    EXPECT_EQ(std::get<0>(preview(0)), 1038);
    EXPECT_EQ(preview(1), std::tuple(5000, 1, 5));
    EXPECT_EQ(preview(2), std::tuple(12005, 6, 1));
    EXPECT_EQ(preview(3), std::tuple(2070, 1, 2));
    EXPECT_EQ(preview(4), std::tuple(15000, 1, 3));
    EXPECT_EQ(preview(5), std::tuple(3001, 1, 3));
    EXPECT_EQ(preview(6), std::tuple(11000, 5, 3));
    EXPECT_EQ(preview(7), std::tuple(10000, 5, 1));
}

TEST(Transition, EveryEffectStartsAtFromEndsAtToAndDiffersBetween) {
    for (QSize size : {QSize(160, 120), QSize(97, 61), QSize(33, 200)}) {
        const QImage from = busy(size, 0, 100, 1);
        const QImage to = busy(size, 150, 255, 2);
        for (const Transition::Effect& e : everyEffect()) {
            SCOPED_TRACE(testing::Message() << e.number << " " << e.third << " " << e.fourth
                                            << " at " << size.width() << "x" << size.height());
            QImage out;
            ASSERT_TRUE(Transition::compose(e, 0.0, from, to, out));
            EXPECT_EQ(out, from);
            ASSERT_TRUE(Transition::compose(e, 1.0, from, to, out));
            EXPECT_EQ(out, to);
            for (double p : {0.25, 0.5, 0.75}) {
                ASSERT_TRUE(Transition::compose(e, p, from, to, out));
                EXPECT_EQ(out.size(), size);
                EXPECT_NE(out, from) << p;
                EXPECT_NE(out, to) << p;
            }
        }
    }
}

TEST(Transition, NoEffectIsACut) {
    const QImage from = busy(QSize(20, 10), 0, 100, 3);
    const QImage to = busy(QSize(20, 10), 150, 255, 4);
    QImage out;
    ASSERT_TRUE(Transition::compose(Transition::showEffect(1000), 0.01, from, to, out));
    EXPECT_EQ(out, to);
    ASSERT_TRUE(Transition::compose({4242, 1, 1}, 0.5, from, to, out));
    EXPECT_EQ(out, to);
}

TEST(Transition, RefusesMismatchedPictures) {
    const QImage from = busy(QSize(20, 10), 0, 100, 3);
    QImage out(5, 5, QImage::Format_RGB32);
    out.fill(Qt::red);
    const QImage keep = out;
    EXPECT_FALSE(Transition::compose(Transition::showEffect(1038), 0.5, from,
                                     busy(QSize(21, 10), 0, 1, 1), out));
    EXPECT_FALSE(Transition::compose(Transition::showEffect(1038), 0.5, from,
                                     from.convertToFormat(QImage::Format_RGB888), out));
    EXPECT_FALSE(Transition::compose(Transition::showEffect(1038), 0.5, QImage(), QImage(), out));
    EXPECT_EQ(out, keep);
}

TEST(Transition, FadeSchedulesAndBlend) {
    const std::vector<int> show = Transition::fadeOpacities(6, 3);
    ASSERT_EQ(show.size(), 43u);
    EXPECT_EQ(show.front(), 255);
    EXPECT_EQ(show[1], 249);
    EXPECT_EQ(show[41], 9);
    EXPECT_EQ(show.back(), 0);
    const std::vector<int> preview = Transition::fadeOpacities(10, 5);
    ASSERT_EQ(preview.size(), 26u);
    EXPECT_EQ(preview[1], 245);
    EXPECT_EQ(preview[24], 15);
    EXPECT_EQ(preview.back(), 0);
    EXPECT_EQ(Transition::showSchedule().size(), 43u);
    EXPECT_EQ(Transition::previewSchedule().size(), 26u);
    EXPECT_EQ(Transition::showSchedule().back(), 1.0);

    // Old picture 200 with opacity 249 over new 20: (200*249 + 20*6) / 255.
    QImage from(4, 2, QImage::Format_RGB32), to(4, 2, QImage::Format_RGB32), out;
    from.fill(qRgb(200, 100, 0));
    to.fill(qRgb(20, 40, 255));
    ASSERT_TRUE(Transition::compose(Transition::showEffect(1038),
                                    Transition::progressForOpacity(249), from, to, out));
    const QRgb px = out.pixel(3, 1);
    EXPECT_EQ(qRed(px), (200 * 249 + 20 * 6 + 127) / 255);
    EXPECT_EQ(qGreen(px), (100 * 249 + 40 * 6 + 127) / 255);
    EXPECT_EQ(qBlue(px), (0 * 249 + 255 * 6 + 127) / 255);
}

TEST(Transition, FieldsDoWhatTheyName) {
    const QSize size(200, 100);
    QImage from(size, QImage::Format_RGB32), to(size, QImage::Format_RGB32), out;
    from.fill(Qt::black);
    to.fill(Qt::white);
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    // Blinds: 20 horizontal slats of 5 rows, the top 2 or 3 rows of each open.
    ASSERT_TRUE(Transition::compose({Transition::kBlinds, 20, 1}, 0.5, from, to, out));
    for (int slat = 0; slat < 20; ++slat) {
        EXPECT_EQ(out.pixel(100, slat * 5), white);
        EXPECT_EQ(out.pixel(100, slat * 5 + 4), black);
    }
    // Vertical slats open to the right.
    ASSERT_TRUE(Transition::compose({Transition::kBlinds, 4, 2}, 0.5, from, to, out));
    EXPECT_EQ(out.pixel(50, 50), white);
    EXPECT_EQ(out.pixel(99, 50), black);
    // A closing circle keeps the old picture in the middle only.
    ASSERT_TRUE(Transition::compose({Transition::kCircle, 2, 1}, 0.5, from, to, out));
    EXPECT_EQ(out.pixel(100, 50), black);
    EXPECT_EQ(out.pixel(1, 1), white);
    // An opening one shows the new picture in the middle.
    ASSERT_TRUE(Transition::compose({Transition::kCircle, 1, 1}, 0.5, from, to, out));
    EXPECT_EQ(out.pixel(100, 50), white);
    EXPECT_EQ(out.pixel(1, 1), black);
    // Push from the right: the new picture's left edge follows the old one's
    // right edge.
    to = busy(size, 150, 255, 5);
    from = busy(size, 0, 100, 6);
    ASSERT_TRUE(Transition::compose({Transition::kPush, 1, 1}, 0.5, from, to, out));
    int edge = -1;
    for (int x = 0; x < size.width() && edge < 0; ++x)
        if (out.pixel(x, 10) == to.pixel(0, 10))
            edge = x;
    ASSERT_GT(edge, 0);
    EXPECT_EQ(out.pixel(edge - 1, 10), from.pixel(size.width() - 1, 10));
    EXPECT_EQ(out.pixel(0, 10), from.pixel(size.width() - edge, 10));
    // Push from the left mirrors it.
    ASSERT_TRUE(Transition::compose({Transition::kPush, 2, 1}, 0.5, from, to, out));
    EXPECT_EQ(out.pixel(size.width() - 1, 10), from.pixel(edge - 1, 10));
    // Pixel: blocks of one colour, 5 % of 100 rows at the middle.
    ASSERT_TRUE(Transition::compose({Transition::kPixel, 5, 1}, 0.5, from, to, out));
    EXPECT_EQ(out.pixel(0, 0), out.pixel(4, 4));
    EXPECT_EQ(out.pixel(0, 0), to.pixel(2, 2));
}

TEST(SlideFrame, FitRule) {
    EXPECT_EQ(SlideFrame::fitInside({100, 50}, {800, 600}), QSize(100, 50));
    EXPECT_EQ(SlideFrame::fitInside({800, 600}, {800, 600}), QSize(800, 600));
    EXPECT_EQ(SlideFrame::fitInside({4000, 1000}, {800, 600}), QSize(800, 200));
    EXPECT_EQ(SlideFrame::fitInside({1000, 4000}, {800, 600}), QSize(150, 600));
    EXPECT_EQ(SlideFrame::fitInside({6000, 4000}, {1920, 1080}), QSize(1620, 1080));
    EXPECT_EQ(SlideFrame::fitInside({100000, 1}, {800, 600}), QSize(800, 1));
    EXPECT_EQ(SlideFrame::fitInside({0, 10}, {800, 600}), QSize());
}

TEST(SlideFrame, LargerPictureShrinksKeepingItsProportionsSmallerIsCentred) {
    const QColor bg(0x12, 0x34, 0x56);
    Bitmap big;
    ASSERT_EQ(big.create(4000, 1000, 0xFF0000), 1);
    const QImage f = SlideFrame::compose(big, QSize(800, 600), bg);
    ASSERT_EQ(f.size(), QSize(800, 600));
    EXPECT_EQ(f.format(), QImage::Format_RGB32);
    // 800 x 200 centred: rows 200..399 red, the rest background.
    EXPECT_EQ(f.pixel(0, 199), bg.rgb());
    EXPECT_EQ(f.pixel(0, 200), qRgb(255, 0, 0));
    EXPECT_EQ(f.pixel(799, 399), qRgb(255, 0, 0));
    EXPECT_EQ(f.pixel(799, 400), bg.rgb());

    Bitmap small;
    ASSERT_EQ(small.create(100, 50, 0x00FF00), 1);
    const QImage g = SlideFrame::compose(small, QSize(300, 150), bg);
    EXPECT_EQ(g.pixel(99, 49), bg.rgb());
    EXPECT_EQ(g.pixel(100, 50), qRgb(0, 255, 0));
    EXPECT_EQ(g.pixel(199, 99), qRgb(0, 255, 0));
    EXPECT_EQ(g.pixel(200, 100), bg.rgb());

    EXPECT_TRUE(SlideFrame::compose(small, QSize(0, 10), bg).isNull());
    const QImage empty = SlideFrame::compose(Bitmap(), QSize(4, 4), bg);
    EXPECT_EQ(empty.pixel(2, 2), bg.rgb());
}
