// Pictures too large for one bitmap in the viewer: shown at their true size
// from a smaller decode, sharpened by tiles read from the file where zoomed
// in, panned by the mouse, within the tiles' budget, and left behind when
// another picture comes.
#include "tests/support/streamedjpeg.h"
#include "tests/support/viewerenv.h"
#include "viewer/eyedoc.h"
#include "viewer/largelevels.h"
#include "viewer/largetiles.h"
#include "viewer/showview.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QSignalSpy>
#include <QtTest>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <jpeglib.h>
#include <stdexcept>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace kamelo;
namespace fs = std::filesystem;

namespace {

// Just above what one bitmap holds (2^28 pixels).
constexpr int kWidth = 17000;
constexpr int kHeight = 16000;
// Flat cells on 16-pixel boundaries: every JPEG block is one colour.
constexpr int kCell = 1024;
// A grey checker of 4-pixel squares: sharp at full size, an even grey in
// any decode at 1/4 or smaller.
constexpr QRect kChecker(8192, 7680, 1024, 1024);
constexpr int kSquare = 4;

QRgb cellColour(int x, int y) {
    const int cx = x / kCell, cy = y / kCell;
    return qRgb(30 + cx * 13, 30 + cy * 13, 80 + (cx * 7 + cy * 11) % 100);
}

bool checkerDark(int x, int y) {
    return ((x - kChecker.x()) / kSquare + (y - kChecker.y()) / kSquare) % 2 == 0;
}

QRgb pictureColour(int x, int y) {
    if (kChecker.contains(x, y))
        return checkerDark(x, y) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
    return cellColour(x, y);
}

// Written a row at a time (the picture is never whole in memory), once
// per machine, under a name that changes with the picture.
std::string bigJpeg() {
    const QString dir = QDir::tempPath() + QStringLiteral("/kamelo-largeview-v1-%1").arg(getuid());
    fs::create_directories(dir.toStdString());
    const std::string path = dir.toStdString() + "/big.jpg";
    if (fs::exists(path))
        return path;
    const bool written =
        test::writeStreamedJpeg(path, kWidth, kHeight, 92, [](int y, uint8_t* row) {
            for (int x = 0; x < kWidth; ++x, row += 3) {
                const QRgb rgb = pictureColour(x, y);
                row[0] = uint8_t(qRed(rgb));
                row[1] = uint8_t(qGreen(rgb));
                row[2] = uint8_t(qBlue(rgb));
            }
        });
    if (!written)
        throw std::runtime_error("cannot write " + path);
    return path;
}

// The same picture tagged to be turned a quarter clockwise (EXIF
// orientation 6) to stand upright: an APP1 segment after the start marker.
constexpr int kTurned = 6;

std::string turnedJpeg() {
    const std::string path = fs::path(bigJpeg()).parent_path().string() + "/turned.jpg";
    if (fs::exists(path))
        return path;
    static const unsigned char app1[] = {
        0xFF, 0xE1, 0x00, 0x22, 'E', 'x', 'i', 'f', 0, 0, 'I',     'I', 0x2A, 0, 8, 0, 0, 0,
        1,    0,    0x12, 0x01, 3,   0,   1,   0,   0, 0, kTurned, 0,   0,    0, 0, 0, 0, 0};
    std::ifstream in(bigJpeg(), std::ios::binary);
    std::ofstream out(path + ".part", std::ios::binary);
    char start[2];
    in.read(start, 2);
    out.write(start, 2);
    out.write(reinterpret_cast<const char*>(app1), sizeof app1);
    out << in.rdbuf();
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path);
    fs::rename(path + ".part", path);
    return path;
}

// A two-colour PNG of 4-pixel squares, as big, once per machine.
constexpr QRgb kPngColours[2] = {qRgb(200, 30, 30), qRgb(20, 20, 120)};

std::string bigPng() {
    const std::string path = fs::path(bigJpeg()).parent_path().string() + "/big.png";
    if (fs::exists(path))
        return path;
    // One bit a pixel: 34 MB, where a picture of this size at 24 bits
    // could not be made at all.
    QImage img(kWidth, kHeight, QImage::Format_Mono);
    img.setColorTable({kPngColours[0], kPngColours[1]});
    for (int y = 0; y < kHeight; ++y)
        std::memset(img.scanLine(y), (y / kSquare) % 2 ? 0x0F : 0xF0, size_t(img.bytesPerLine()));
    const std::string part = path + ".part.png";
    if (!img.save(QString::fromStdString(part), "PNG"))
        throw std::runtime_error("cannot write " + part);
    fs::rename(part, path);
    return path;
}

bool near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

long peakRssMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

struct Env : kamelo::test::ViewerEnv {
    std::string big = bigJpeg();
    std::string small = dir.file("small.png");
    CShowView view{doc};

    Env() {
        QImage img(300, 200, QImage::Format_RGB32);
        img.fill(qRgb(10, 200, 30));
        img.save(QString::fromStdString(small));
        doc.list().append(big);
        doc.list().append(small);
        view.resize(800, 600);
        view.show();
        view.setFocus();
    }

    // The picture pixel under a view point, at the view's zoom and pan.
    QPoint toPicture(QPoint v) const {
        const QRect r = view.displayRect();
        return QPoint(int((int64_t(v.x() - r.x()) * kWidth) / r.width()),
                      int((int64_t(v.y() - r.y()) * kHeight) / r.height()));
    }
    QPoint toView(QPoint p) const {
        const QRect r = view.displayRect();
        return QPoint(r.x() + int(int64_t(p.x()) * r.width() / kWidth),
                      r.y() + int(int64_t(p.y()) * r.height() / kHeight));
    }
    bool openBig() { return view.loadPicture(0) == CShowView::kLoaded; }
    bool waitSharp() {
        return QTest::qWaitFor(
            [&] {
                // What the view has now: the state of the last paint.
                view.repaint();
                return view.largeViewSharp() && view.largeTiles().jobs() == 0;
            },
            12000);
    }
};

} // namespace

class TestLargeView : public QObject {
    Q_OBJECT
private slots:
    void opensAtItsTrueSizeFromASmallerDecode() {
        Env e;
        QVERIFY(QTest::qWaitForWindowExposed(&e.view));
        QSignalSpy progress(&e.view, &CShowView::progress);
        QVERIFY(e.openBig());
        // Known from the header before any pixel is in.
        QVERIFY(e.view.showsLargePicture());
        QCOMPARE(e.view.shownPictureSize(), QSize(kWidth, kHeight));
        QTRY_VERIFY_WITH_TIMEOUT(!e.view.isLoading(), 12000);
        // The status line was told how far the decode was, up to its end.
        QVERIFY(progress.size() > 5);
        for (qsizetype i = 1; i < progress.size(); ++i)
            QVERIFY(progress.at(i).at(0).toInt() >= progress.at(i - 1).at(0).toInt());
        QCOMPARE(progress.last().at(0).toInt(), 100);
        QVERIFY(e.view.hasPicture());
        QVERIFY(!e.view.showsSmallerDecode());
        QCOMPARE(e.view.shownPictureSize(), QSize(kWidth, kHeight));
        QCOMPARE(e.view.displayRect().height(), 600); // fitted into the window
        const QImage shot = e.view.grab().toImage();
        // The middle of cells all over the picture.
        for (const QPoint& p :
             {QPoint(512, 512), QPoint(16500, 500), QPoint(3 * kCell + 500, 15500),
              QPoint(12 * kCell + 512, 9 * kCell + 512)}) {
            const QPoint v = e.toView(p);
            QVERIFY2(near(shot.pixel(v), cellColour(p.x(), p.y()), 6),
                     qPrintable(QStringLiteral("at %1,%2").arg(p.x()).arg(p.y())));
        }
    }

    void aTurnedPictureIsShownUprightFittedAndInTiles() {
        Env e;
        e.doc.list().clear();
        e.doc.list().append(turnedJpeg());
        QVERIFY(QTest::qWaitForWindowExposed(&e.view));
        QVERIFY(e.openBig());
        const QSize upright(kHeight, kWidth);
        QCOMPARE(e.view.shownPictureSize(), upright);
        QTRY_VERIFY_WITH_TIMEOUT(!e.view.isLoading(), 12000);
        // Each view point shows the stored pixel the orientation puts there.
        const auto stored = [&](QPoint v) {
            const QRect r = e.view.displayRect();
            const QPoint u(int((int64_t(v.x() - r.x()) * upright.width()) / r.width()),
                           int((int64_t(v.y() - r.y()) * upright.height()) / r.height()));
            return largeview::storedRect(QSize(kWidth, kHeight), kTurned, QRect(u, QSize(1, 1)))
                .topLeft();
        };
        QImage shot = e.view.grab().toImage();
        int cells = 0;
        for (int y = 20; y < 600; y += 53)
            for (int x = 250; x < 550; x += 47) {
                const QPoint p = stored(QPoint(x, y));
                // Cell middles, away from the checker.
                if (kChecker.adjusted(-kCell, -kCell, kCell, kCell).contains(p) ||
                    std::abs(p.x() % kCell - kCell / 2) > kCell / 4 ||
                    std::abs(p.y() % kCell - kCell / 2) > kCell / 4)
                    continue;
                QVERIFY2(near(shot.pixel(x, y), cellColour(p.x(), p.y()), 6),
                         qPrintable(QStringLiteral("fitted at %1,%2").arg(x).arg(y)));
                ++cells;
            }
        QVERIFY(cells > 5);
        // At full size in the middle: the checker, from tiles turned upright.
        QVERIFY(e.view.setZoomPercent(100));
        QVERIFY(e.waitSharp());
        shot = e.view.grab().toImage();
        int squares = 0;
        for (int y = 40; y < 560; y += 37)
            for (int x = 40; x < 760; x += 41) {
                const QPoint p = stored(QPoint(x, y));
                if (!kChecker.contains(p) || (p.x() % kSquare) % 3 == 0 ||
                    (p.y() % kSquare) % 3 == 0)
                    continue;
                const int grey = qGreen(shot.pixel(x, y));
                QVERIFY2(checkerDark(p.x(), p.y()) ? grey < 70 : grey > 185,
                         qPrintable(QStringLiteral("tile at %1,%2: %3").arg(x).arg(y).arg(grey)));
                ++squares;
            }
        QVERIFY(squares > 40);
    }

    void zoomedInTheTilesShowTheFullPixels_data() {
        QTest::addColumn<int>("percent");
        QTest::newRow("100 %") << 100;
        QTest::newRow("300 %") << 300;
    }
    void zoomedInTheTilesShowTheFullPixels() {
        QFETCH(int, percent);
        Env e;
        QVERIFY(QTest::qWaitForWindowExposed(&e.view));
        QVERIFY(e.openBig());
        QTRY_VERIFY_WITH_TIMEOUT(!e.view.isLoading(), 12000);
        // Kept on the middle of the picture, in the checker.
        QVERIFY(e.view.setZoomPercent(percent));
        QCOMPARE(e.view.displayRect().width(), kWidth * percent / 100);
        QVERIFY(e.waitSharp());
        const QImage shot = e.view.grab().toImage();
        int dark = 0, light = 0;
        for (int y = 40; y < 560; y += 37)
            for (int x = 40; x < 760; x += 41) {
                const QPoint p = e.toPicture(QPoint(x, y));
                // Square middles only: the JPEG blurs their edges a little.
                if (!kChecker.contains(p) || (p.x() % kSquare) % 3 == 0 ||
                    (p.y() % kSquare) % 3 == 0)
                    continue;
                const int grey = qGreen(shot.pixel(x, y));
                if (checkerDark(p.x(), p.y())) {
                    QVERIFY2(grey < 70, qPrintable(QStringLiteral("dark %1").arg(grey)));
                    ++dark;
                } else {
                    QVERIFY2(grey > 185, qPrintable(QStringLiteral("light %1").arg(grey)));
                    ++light;
                }
            }
        QVERIFY(dark > 20 && light > 20);
        QVERIFY(peakRssMb() < 800);
    }

    void draggingPansAndTheNewPartSharpens() {
        Env e;
        QVERIFY(QTest::qWaitForWindowExposed(&e.view));
        QVERIFY(e.openBig());
        QTRY_VERIFY_WITH_TIMEOUT(!e.view.isLoading(), 12000);
        QVERIFY(e.view.setZoomPercent(100));
        const QPoint before = e.view.panOffset();
        const QPoint seen = e.toPicture(QPoint(400, 300));
        QTest::mousePress(&e.view, Qt::LeftButton, {}, QPoint(700, 500));
        QTest::mouseMove(&e.view, QPoint(400, 300));
        QTest::mouseMove(&e.view, QPoint(100, 100));
        QTest::mouseRelease(&e.view, Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(e.view.panOffset(), before + QPoint(-600, -400));
        QCOMPARE(e.toPicture(QPoint(400, 300)), seen + QPoint(600, 400));
        QVERIFY(e.waitSharp());
        // Out of the checker now: cells on both sides of a boundary, exact.
        const QImage shot = e.view.grab().toImage();
        for (int y = 20; y < 600; y += 60)
            for (int x = 20; x < 800; x += 70) {
                const QPoint p = e.toPicture(QPoint(x, y));
                if (kChecker.adjusted(-16, -16, 16, 16).contains(p))
                    continue;
                QVERIFY2(near(shot.pixel(x, y), pictureColour(p.x(), p.y()), 6),
                         qPrintable(QStringLiteral("at %1,%2").arg(p.x()).arg(p.y())));
            }
    }

    void theTilesStayWithinTheirBudget() {
        Env e;
        QVERIFY(QTest::qWaitForWindowExposed(&e.view));
        constexpr size_t kBudget = size_t(24) << 20;
        e.view.largeTiles().setBudget(kBudget);
        QVERIFY(e.openBig());
        QTRY_VERIFY_WITH_TIMEOUT(!e.view.isLoading(), 12000);
        QVERIFY(e.view.setZoomPercent(100));
        size_t most = 0;
        // Across the picture in steps of more than a screen: every step
        // brings new tiles, and the old ones must go.
        for (int step = 0; step < 6; ++step) {
            QTest::mousePress(&e.view, Qt::LeftButton, {}, QPoint(790, 590));
            QTest::mouseMove(&e.view, QPoint(400, 300));
            QTest::mouseMove(&e.view, QPoint(10, 10));
            QTest::mouseRelease(&e.view, Qt::LeftButton, {}, QPoint(10, 10));
            QVERIFY(QTest::qWaitFor(
                [&] {
                    most = std::max(most, e.view.largeTiles().heldBytes());
                    e.view.repaint();
                    return e.view.largeViewSharp() && e.view.largeTiles().jobs() == 0;
                },
                12000));
            QVERIFY(e.view.largeTiles().heldBytes() <= kBudget);
        }
        QVERIFY(most <= kBudget);
        QVERIFY(most > kBudget / 2); // it was used, not left empty
    }

    void anotherPictureLeavesThePendingTilesBehind() {
        Env e;
        QVERIFY(QTest::qWaitForWindowExposed(&e.view));
        // While the smaller decode is on its way, and while tiles are made.
        for (const bool zoomed : {false, true}) {
            QVERIFY(e.openBig());
            if (zoomed) {
                QTRY_VERIFY_WITH_TIMEOUT(!e.view.isLoading(), 12000);
                QVERIFY(e.view.setZoomPercent(100));
                e.view.repaint(); // asks for the tiles on screen
                QVERIFY(e.view.largeTiles().jobs() > 0);
            }
            QVERIFY(e.view.navigate(CShowView::Step::Next));
            QVERIFY(!e.view.showsLargePicture());
            QCOMPARE(e.view.shownPictureSize(), QSize(300, 200));
            QTRY_COMPARE_WITH_TIMEOUT(e.view.largeTiles().jobs(), 0, 12000);
            QCoreApplication::processEvents();
            QCOMPARE(e.view.largeTiles().heldBytes(), size_t(0));
            QVERIFY(!e.view.showsSmallerDecode());
            QCOMPARE(e.view.shownPictureSize(), QSize(300, 200));
            QCOMPARE(e.view.grab().toImage().pixel(400, 300), qRgb(10, 200, 30));
            e.doc.list().first(true);
        }
    }

    void aLargePngIsShownTheSameWay() {
        Env e;
        QVERIFY(QTest::qWaitForWindowExposed(&e.view));
        e.doc.list().append(bigPng());
        QCOMPARE(e.view.loadPicture(2), CShowView::kLoaded);
        QVERIFY(e.view.showsLargePicture());
        QCOMPARE(e.view.shownPictureSize(), QSize(kWidth, kHeight));
        QTRY_VERIFY_WITH_TIMEOUT(!e.view.isLoading(), 12000);
        QVERIFY(e.view.hasPicture());
        // Seen whole, the squares are one blend; at 100 %, the two colours.
        const QRgb blend = e.view.grab().toImage().pixel(e.toView(QPoint(8500, 8000)));
        QVERIFY(!near(blend, kPngColours[0], 40) && !near(blend, kPngColours[1], 40));
        QVERIFY(e.view.setZoomPercent(100));
        QVERIFY(e.waitSharp());
        const QImage shot = e.view.grab().toImage();
        for (int y = 10; y < 600; y += 53)
            for (int x = 10; x < 800; x += 47) {
                const QPoint p = e.toPicture(QPoint(x, y));
                // Set bits (the squares of even sums) take the second colour.
                const int index = 1 - ((p.x() / kSquare) + (p.y() / kSquare)) % 2;
                QVERIFY2(shot.pixel(x, y) == kPngColours[index],
                         qPrintable(QStringLiteral("at %1,%2").arg(p.x()).arg(p.y())));
            }
    }

    void aViewClosedMidDecodeIsNotWaitedForNorReached() {
        {
            Env e;
            QVERIFY(QTest::qWaitForWindowExposed(&e.view));
            QVERIFY(e.openBig());
            QVERIFY(e.view.isLoading());
        }
        // The decode ends on its own thread; its result finds no view.
        QTest::qWait(1500);
    }

    void aSlideShowStoppedOnALargePictureShowsItAsTheViewDoes() {
        Env e;
        QVERIFY(QTest::qWaitForWindowExposed(&e.view));
        QCOMPARE(e.view.loadPicture(1), CShowView::kLoaded);
        e.view.startSlideShow();
        QVERIFY(e.view.slideShowRunning());
        // The slide of the large picture is made from a smaller decode.
        QVERIFY(e.view.navigate(CShowView::Step::Next));
        QTRY_VERIFY_WITH_TIMEOUT(e.doc.list().current() == 0 && e.doc.displayedNow().isAllocated(),
                                 12000);
        QVERIFY(e.doc.displayedNow().width() < kWidth);
        e.view.stopSlideShow();
        // Not that decode taken for the picture: no edit or save may take it.
        QVERIFY(e.view.showsLargePicture());
        QVERIFY(!e.doc.displayedNow().isAllocated());
        QCOMPARE(e.view.shownPictureSize(), QSize(kWidth, kHeight));
        QTRY_VERIFY_WITH_TIMEOUT(!e.view.isLoading(), 12000);
        QVERIFY(e.view.hasPicture());
    }

    void editsFindNoPictureAndAreToldWhy() {
        Env e;
        QVERIFY(QTest::qWaitForWindowExposed(&e.view));
        QSignalSpy notices(&e.view, &CShowView::notice);
        QVERIFY(e.openBig());
        QTRY_VERIFY_WITH_TIMEOUT(!e.view.isLoading(), 12000);
        QVERIFY(notices.isEmpty());
        // What an edit, a save or a conversion takes: nothing, said once
        // with the picture's size, and again none for the next command.
        QVERIFY(!e.doc.displayed().isAllocated());
        QVERIFY(!e.doc.displayed().isAllocated());
        QCOMPARE(notices.count(), 1);
        QVERIFY(notices.at(0).at(0).toString().contains(QStringLiteral("17000 x 16000")));
        QCoreApplication::processEvents();
        QCOMPARE(e.doc.pictureMatches(e.big), PictureSource::Match::Same);
        QVERIFY(!e.doc.displayed().isAllocated());
        QCOMPARE(notices.count(), 1);
        // The copy is the picture as seen whole.
        e.view.copyToClipboard();
        const QImage copied = QGuiApplication::clipboard()->image();
        const int level = largeview::fittedLevel(kWidth, kHeight);
        QCOMPARE(copied.size(), QSize((kWidth + level - 1) / level, (kHeight + level - 1) / level));
    }
};

QTEST_MAIN(TestLargeView)
#include "tst_largeview.moc"
