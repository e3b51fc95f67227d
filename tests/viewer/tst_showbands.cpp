// Decoding into the picture view: bands painted as they arrive, and a smaller
// decode shown first, then replaced by the full picture.

#include "imaging/picturefile.h"
#include "tests/viewer/showviewenv.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"
#include "viewer/viewersave.h"
#include "viewer/viewpainter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QtTest>

#include <cstring>
#include <vector>

using namespace kamelo;
using namespace kamelo::test::showview;
using kamelo::test::samePixels;

namespace {

// The areas of every paint a widget is asked for.
struct PaintLog : QObject {
    std::vector<QRect> rects;
    bool eventFilter(QObject*, QEvent* ev) override {
        if (ev->type() == QEvent::Paint)
            rects.push_back(static_cast<QPaintEvent*>(ev)->rect());
        return false;
    }
};

} // namespace

class TestShowBands : public QObject {
    Q_OBJECT
private slots:
    void bandsPaintEachRowOnceAndEndAsAOneShotDecode() {
        Env e;
        e.pictures({QSize(50, 50), QSize(1200, 3000)});
        // A picture with rows that differ, so a misplaced band shows.
        QImage stripes(1200, 3000, QImage::Format_RGB32);
        for (int y = 0; y < stripes.height(); ++y)
            for (int x = 0; x < stripes.width(); ++x)
                stripes.setPixel(x, y, qRgb(y % 256, (y / 256) * 20, x % 256));
        QVERIFY(stripes.save(QString::fromStdString(e.dir.file("p1.png"))));
        CShowView view(e.doc);
        view.resize(300, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        QTest::qWait(20);

        PaintLog log;
        view.installEventFilter(&log);
        QCOMPARE(view.loadPicture(1), CShowView::kLoaded);
        view.removeEventFilter(&log);
        const QRect dest = view.displayRect();
        QCOMPARE(dest, QRect(90, 0, 120, 300));
        // The band paints (narrower than the view) tile the picture's rows.
        std::vector<int> painted(size_t(dest.height()), 0);
        for (const QRect& r : log.rects)
            if (r.width() < view.width()) {
                QCOMPARE(r.left(), dest.left());
                QCOMPARE(r.width(), dest.width());
                for (int y = r.top(); y <= r.bottom(); ++y)
                    ++painted[size_t(y - dest.top())];
            }
        QVERIFY(log.rects.size() >= 2);
        for (size_t y = 0; y < painted.size(); ++y)
            QVERIFY2(painted[y] == 1,
                     qPrintable(QStringLiteral("row %1 painted %2 times").arg(y).arg(painted[y])));

        // What stays on screen equals the picture decoded in one go.
        QTest::qWait(20);
        const QImage banded = view.grab().toImage();
        e.settings.paintWhileLoading = 0;
        CShowView oneShot(e.doc);
        oneShot.resize(300, 300);
        oneShot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&oneShot));
        QCOMPARE(oneShot.loadPicture(1), CShowView::kLoaded);
        QTest::qWait(20);
        QCOMPARE(banded, oneShot.grab().toImage());
    }

    void aSmallerFirstDecodeIsReplacedByTheFullPictureOnZoomingIn() {
        Env e;
        const std::string path = detailedJpeg(e.dir, "big.jpg", 1600, 1200);
        e.doc.list().append(path);
        imaging::Bitmap full;
        QCOMPARE(imaging::PictureFile::load(path, full), 1);
        CShowView view(e.doc);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        // Fitted at a quarter: a quarter decode is what is painted, in the
        // full picture's place, while the full picture decodes.
        QVERIFY(view.showsSmallerDecode());
        QVERIFY(e.doc.pictureOnItsWay());
        QCOMPARE(view.displayRect(), QRect(0, 0, 400, 300));
        QCOMPARE(view.shownPictureSize(), QSize(1600, 1200));

        // 100 %: the full pixels, as a full decode gives them.
        view.setZoomMode(CShowView::kActualSize);
        QVERIFY(!view.showsSmallerDecode());
        QVERIFY(samePixels(e.doc.displayedNow(), full));
        const QRect dest = view.displayRect();
        QCOMPARE(dest.size(), QSize(1600, 1200));
        const QImage shot = view.snapshot();
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QRgb got = shot.pixel(x, y);
                const uint32_t want = full.pixel(x - dest.x(), y - dest.y());
                if ((got & 0xFFFFFF) != want)
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        // Nothing moved: the place is the one the zoom gives a full picture.
        QCOMPARE(view.zoomFactor(), 1.0);
    }

    void theSmallerDecodeIsReplacedWhenTheFullPictureArrives() {
        Env e;
        const std::string path = detailedJpeg(e.dir, "big.jpg", 1600, 1200);
        e.doc.list().append(path);
        CShowView view(e.doc);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        QVERIFY(view.showsSmallerDecode());
        const QRect before = view.displayRect();
        // The background decode's notice swaps it in without being asked.
        QTRY_VERIFY_WITH_TIMEOUT(!view.showsSmallerDecode(), 20000);
        QCOMPARE(e.doc.displayedNow().width(), 1600);
        QCOMPARE(view.displayRect(), before);
        // What is painted now is the full picture scaled to its place.
        imaging::Bitmap full;
        QCOMPARE(imaging::PictureFile::load(path, full), 1);
        QImage expected(view.size(), QImage::Format_RGB32);
        {
            QPainter p(&expected);
            ViewPainter::Scene s;
            s.client = view.rect();
            s.background = QColor(0x80, 0x80, 0x80);
            s.bitmap = &full;
            s.dest = before;
            ViewPainter::paint(p, s);
        }
        QCOMPARE(view.snapshot(), expected);
    }

    void saveAndCopyAfterASmallerDecodeTakeTheFullPicture() {
        Env e;
        const std::string path = detailedJpeg(e.dir, "big.jpg", 1200, 1600);
        e.doc.list().append(path);
        imaging::Bitmap full;
        QCOMPARE(imaging::PictureFile::load(path, full), 1);
        CShowView view(e.doc);
        view.resize(300, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        QVERIFY(view.showsSmallerDecode());
        // Save writes what the document gives: it waits for the full picture.
        const std::string saved = e.dir.file("saved.png");
        QCOMPARE(ViewerSave::save(e.doc.displayed(), saved), 1);
        imaging::Bitmap back;
        QCOMPARE(imaging::PictureFile::load(saved, back), 1);
        QVERIFY(samePixels(back, full));

        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        QVERIFY(view.showsSmallerDecode());
        QGuiApplication::clipboard()->clear();
        view.copyToClipboard();
        const QImage copied = QGuiApplication::clipboard()->image();
        QCOMPARE(copied.size(), QSize(1200, 1600));
        QVERIFY(samePixels(imaging::Bitmap::fromImage(copied), full));
        // The view now holds the full picture too.
        QVERIFY(!view.showsSmallerDecode());
    }

    void aPictureSmallerThanTheViewIsDecodedInFull() {
        Env e;
        const std::string path = detailedJpeg(e.dir, "small.jpg", 200, 100);
        e.doc.list().append(path);
        CShowView view(e.doc);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        QVERIFY(!view.showsSmallerDecode());
        QVERIFY(!e.doc.pictureOnItsWay());
        QCOMPARE(e.doc.displayedNow().width(), 200);
    }

    // The view blits a scaled copy of a large picture; an edit made in place
    // (same memory, same size) and the next picture of the same size must
    // show, never the copy of what was there before.
    void theScaledCopyFollowsEditsAndSameSizedPictures() {
        Env e;
        e.pictures({QSize(800, 600), QSize(800, 600)});
        e.settings.paintWhileLoading = 0; // decoded by the view itself
        CShowView view(e.doc);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const auto centre = [&] {
            const QImage shot = view.snapshot();
            return QColor(shot.pixel(shot.width() / 2, shot.height() / 2));
        };
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        QCOMPARE(centre(), QColor(0, 0, 0));

        imaging::Bitmap& shown = e.doc.displayed();
        const uint8_t* before = shown.bits();
        for (int y = 0; y < shown.height(); ++y)
            std::memset(shown.row(y), 200, size_t(shown.width()) * 3);
        QCOMPARE(shown.bits(), before);
        view.pictureEdited();
        QCOMPARE(centre(), QColor(200, 200, 200));

        QCOMPARE(view.loadPicture(1), CShowView::kLoaded);
        QCOMPARE(centre(), QColor(40, 40, 40));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        QCOMPARE(centre(), QColor(0, 0, 0));
    }

    void bandsOfASmallerDecodePaintEachRowOnce() {
        Env e;
        e.pictures({QSize(50, 50)});
        // Fitted at a tenth: decoded at an eighth, 375 rows for 300 on screen.
        const std::string path = detailedJpeg(e.dir, "tall.jpg", 1200, 3000);
        e.doc.list().append(path);
        CShowView view(e.doc);
        view.resize(300, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        QTest::qWait(20);
        PaintLog log;
        view.installEventFilter(&log);
        QCOMPARE(view.loadPicture(1), CShowView::kLoaded);
        view.removeEventFilter(&log);
        QVERIFY(view.showsSmallerDecode());
        const QRect dest = view.displayRect();
        QCOMPARE(dest, QRect(90, 0, 120, 300));
        std::vector<int> painted(size_t(dest.height()), 0);
        for (const QRect& r : log.rects)
            if (r.width() < view.width())
                for (int y = r.top(); y <= r.bottom(); ++y)
                    ++painted[size_t(y - dest.top())];
        for (size_t y = 0; y < painted.size(); ++y)
            QVERIFY2(painted[y] == 1,
                     qPrintable(QStringLiteral("row %1 painted %2 times").arg(y).arg(painted[y])));
    }
};

QTEST_MAIN(TestShowBands)
#include "tst_showbands.moc"
