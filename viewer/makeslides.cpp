// Draws the three sample pictures of the slide show settings page
// (slide0.jpg, slide1.jpg, slide2.jpg) into the folder given: a sunset
// over hills, a sea with a boat, a meadow with trees. Run at build time.
#include "imaging/bitmap.h"
#include "imaging/picturesaver.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

void hills(QPainter& p, int base, int amplitude, double waves, double phase, QColor colour) {
    QPainterPath path(QPointF(0, kHeight));
    for (int x = 0; x <= kWidth; x += 4)
        path.lineTo(x, base - amplitude * std::sin(x * waves * 2 * M_PI / kWidth + phase));
    path.lineTo(kWidth, kHeight);
    path.closeSubpath();
    p.fillPath(path, colour);
}

QImage sunset() {
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0, QColor(40, 40, 110));
    sky.setColorAt(0.55, QColor(240, 120, 70));
    sky.setColorAt(1, QColor(250, 210, 120));
    p.fillRect(img.rect(), sky);
    QRadialGradient sun(QPointF(200, 130), 40);
    sun.setColorAt(0, QColor(255, 250, 210));
    sun.setColorAt(0.6, QColor(255, 220, 120));
    sun.setColorAt(1, QColor(255, 180, 90, 0));
    p.setBrush(sun);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(200, 130), 40, 40);
    hills(p, 170, 18, 1.5, 0.3, QColor(120, 60, 80));
    hills(p, 195, 14, 2.5, 1.7, QColor(70, 35, 60));
    hills(p, 220, 8, 4.0, 0.9, QColor(35, 20, 40));
    return img;
}

QImage sea() {
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 120);
    sky.setColorAt(0, QColor(90, 160, 230));
    sky.setColorAt(1, QColor(200, 230, 250));
    p.fillRect(QRect(0, 0, kWidth, 120), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 220));
    for (const QPointF c :
         {QPointF(60, 40), QPointF(85, 35), QPointF(105, 45), QPointF(230, 60), QPointF(252, 55)})
        p.drawEllipse(c, 22, 12);
    QLinearGradient water(0, 120, 0, kHeight);
    water.setColorAt(0, QColor(30, 110, 170));
    water.setColorAt(1, QColor(10, 50, 100));
    p.fillRect(QRect(0, 120, kWidth, kHeight - 120), water);
    p.setPen(QPen(QColor(160, 210, 240), 2));
    for (int row = 0; row < 8; ++row) {
        const int y = 130 + row * 14;
        for (int x = (row % 2) * 20; x < kWidth; x += 40)
            p.drawArc(QRectF(x, y, 20, 8), 0, 180 * 16);
    }
    // A sailing boat.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 60, 30));
    p.drawPolygon(
        QPolygonF({QPointF(120, 150), QPointF(190, 150), QPointF(178, 166), QPointF(132, 166)}));
    p.setBrush(QColor(250, 250, 240));
    p.drawPolygon(QPolygonF({QPointF(155, 70), QPointF(155, 146), QPointF(122, 146)}));
    p.setBrush(QColor(230, 80, 70));
    p.drawPolygon(QPolygonF({QPointF(160, 85), QPointF(160, 146), QPointF(186, 146)}));
    return img;
}

QImage meadow() {
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 140);
    sky.setColorAt(0, QColor(120, 190, 240));
    sky.setColorAt(1, QColor(225, 240, 250));
    p.fillRect(img.rect(), sky);
    hills(p, 140, 10, 1.0, 0.0, QColor(110, 170, 70));
    hills(p, 175, 8, 2.0, 2.0, QColor(80, 150, 50));
    p.setPen(Qt::NoPen);
    for (const auto& [x, y, s] : {std::tuple{50.0, 150.0, 1.0}, std::tuple{250.0, 140.0, 1.3},
                                  std::tuple{290.0, 160.0, 0.8}}) {
        p.setBrush(QColor(100, 70, 40));
        p.drawRect(QRectF(x - 4 * s, y - 10 * s, 8 * s, 30 * s));
        p.setBrush(QColor(40, 110, 40));
        p.drawEllipse(QPointF(x, y - 25 * s), 22 * s, 26 * s);
    }
    // Flowers in a fixed scatter.
    unsigned seed = 7;
    const QColor petals[] = {QColor(250, 240, 90), QColor(250, 130, 170), Qt::white};
    for (int i = 0; i < 90; ++i) {
        seed = seed * 1103515245u + 12345u;
        const double x = (seed >> 8) % kWidth;
        seed = seed * 1103515245u + 12345u;
        const double y = 185 + (seed >> 8) % 52;
        p.setBrush(petals[i % 3]);
        p.drawEllipse(QPointF(x, y), 2.5, 2.5);
    }
    return img;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: makeslides FOLDER\n");
        return 2;
    }
    const QImage slides[] = {sunset(), sea(), meadow()};
    for (int i = 0; i < 3; ++i) {
        const std::string path = std::string(argv[1]) + "/slide" + std::to_string(i) + ".jpg";
        const kamelo::imaging::Bitmap b = kamelo::imaging::Bitmap::fromImage(slides[i]);
        if (kamelo::imaging::PictureSaver::saveJpeg(b, path, 90) < 1) {
            std::fprintf(stderr, "makeslides: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
