// The windows' icon is the one the desktop's icon theme gets: every size
// drawn by scripts/make-icons.py, pixel for pixel.
#include "app/programicon.h"

#include <QImage>
#include <QtTest>

class TestProgramIcon : public QObject {
    Q_OBJECT
private slots:
    void everySizeIsTheThemeFile() {
        const QIcon icon = kamelo::programIcon();
        QVERIFY(!icon.isNull());
        const QList<QSize> sizes = icon.availableSizes();
        QCOMPARE(sizes.size(), 8);
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
            const QImage drawn(
                QStringLiteral(KAMELO_SOURCE_DIR "/resources/appicon/kamelo-%1.png").arg(size));
            QCOMPARE(drawn.size(), QSize(size, size));
            const QImage shown = icon.pixmap(QSize(size, size)).toImage();
            QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                     drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        }
    }
    void svgMatchesTheSameDrawing() {
        QFile svg(QStringLiteral(KAMELO_SOURCE_DIR "/resources/appicon/kamelo.svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        const QByteArray text = svg.readAll();
        QVERIFY(text.startsWith("<svg "));
        QVERIFY(text.contains("viewBox=\"0 0 256 256\""));
    }
};

QTEST_MAIN(TestProgramIcon)
#include "tst_programicon.moc"
