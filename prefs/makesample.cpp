// Draws the preview picture of the thumbnail page, SAMPLE.JPG: a landscape
// of sky, sun, hills and water, so the preview shows colour and detail.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    QImage img(320, 240, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 150);
    sky.setColorAt(0, QColor(40, 90, 190));
    sky.setColorAt(1, QColor(250, 190, 120));
    p.fillRect(0, 0, 320, 150, sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 230, 120));
    p.drawEllipse(QPointF(230, 95), 28, 28);
    QPainterPath hills;
    hills.moveTo(0, 150);
    hills.cubicTo(60, 90, 120, 120, 170, 140);
    hills.cubicTo(220, 110, 280, 100, 320, 140);
    hills.lineTo(320, 160);
    hills.lineTo(0, 160);
    p.setBrush(QColor(50, 120, 60));
    p.drawPath(hills);
    QLinearGradient water(0, 150, 0, 240);
    water.setColorAt(0, QColor(30, 80, 140));
    water.setColorAt(1, QColor(10, 30, 70));
    p.fillRect(0, 155, 320, 85, water);
    p.setBrush(QColor(255, 240, 180, 120));
    p.drawRect(200, 160, 60, 4);
    p.drawRect(210, 175, 40, 3);
    p.end();
    return img.save(QString::fromLocal8Bit(argv[1]), "JPG", 90) ? 0 : 1;
}
