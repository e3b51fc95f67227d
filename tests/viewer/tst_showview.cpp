#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "chrome/fileui.h"
#include "imaging/memorybudget.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"
#include "tests/support/viewerenv.h"
#include "viewer/core/zoomrules.h"
#include "viewer/eyedoc.h"
#include "viewer/readaheadworker.h"
#include "viewer/showview.h"
#include "viewer/viewersave.h"
#include "viewer/viewpainter.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace kamelo;
namespace fs = std::filesystem;
using Step = CShowView::Step;

namespace {

struct YesUi : FileUi {
    bool confirm(QWidget*, const QString&) override { return true; }
    void error(QWidget*, const QString&) override {}
};

struct Env : kamelo::test::ViewerEnv {
    // Pictures of the given sizes, each filled with its own grey level.
    void pictures(const std::vector<QSize>& sizes) {
        for (size_t i = 0; i < sizes.size(); ++i) {
            QImage img(sizes[i], QImage::Format_RGB32);
            img.fill(QColor(int(40 * i), int(40 * i), int(40 * i)));
            const std::string path = dir.file("p" + std::to_string(i) + ".png");
            QVERIFY(img.save(QString::fromStdString(path)));
            doc.list().append(path);
        }
    }
};

// A JPEG with detail in every pixel, so a smaller decode differs from the
// full one wherever it is compared.
std::string detailedJpeg(kamelo::test::ScratchDir& dir, const char* name, int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 7) ^ (y * 3), (x * y) % 251, ((x / 3) + (y / 5)) % 256));
    const std::string path = dir.file(name);
    img.save(QString::fromStdString(path), "JPEG", 92);
    return path;
}

bool samePixels(const imaging::Bitmap& a, const imaging::Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.row(y), b.row(y), size_t(a.width()) * 3) != 0)
            return false;
    return true;
}

} // namespace

class TestShowView : public QObject {
    Q_OBJECT
private slots:
    void zoomKeepsTheCentreAndFixedRatioCarriesOver() {
        Env e;
        e.pictures({QSize(300, 200), QSize(2000, 1000), QSize(100, 100)});
        CShowView view(e.doc);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        // Smaller than the window in automatic fit: 100 %, never enlarged.
        QCOMPARE(view.zoomFactor(), 1.0);
        QCOMPARE(view.displayRect(), QRect(50, 50, 300, 200));
        QCOMPARE(view.loadPicture(1), CShowView::kLoaded);
        QCOMPARE(view.zoomFactor(), 0.2); // 2000 wide into 400
        QCOMPARE(view.displayRect().width(), 400);

        view.setZoomMode(CShowView::kActualSize);
        QCOMPARE(view.zoomFactor(), 1.0);
        QCOMPARE(view.panOffset(), QPoint(0, 0));
        // Zoom in keeps the picture point under the centre (200, 150 -> 200, 150 of 2000x1000).
        view.zoomIn(); // 100 % -> 150 %
        QCOMPARE(ZoomRules::percent(view.zoomFactor()), 150);
        QCOMPARE(view.panOffset(), QPoint(-(300 - 200), -(225 - 150)));
        QVERIFY(view.userZoom());
        QVERIFY(!view.setZoomPercent(5));
        QVERIFY(view.setZoomPercent(250));
        view.setZoomMode(CShowView::kFixedRatio);
        QCOMPARE(ZoomRules::percent(view.zoomFactor()), 250);
        QCOMPARE(view.loadPicture(2), CShowView::kLoaded);
        QCOMPARE(ZoomRules::percent(view.zoomFactor()), 250); // carried over
        QCOMPARE(view.displayRect().size(), QSize(250, 250));
        view.zoomOut();
        QCOMPARE(ZoomRules::percent(view.zoomFactor()), 150);
    }

    void draggingPansWithinThePicture() {
        Env e;
        e.pictures({QSize(1000, 800)});
        CShowView view(e.doc);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.loadPicture(0);
        view.setZoomMode(CShowView::kActualSize);
        QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(200, 150));
        QTest::mouseMove(&view, QPoint(100, 100));
        QCOMPARE(view.panOffset(), QPoint(-100, -50));
        QTest::mouseMove(&view, QPoint(-2000, -2000)); // held at the far edges
        QCOMPARE(view.panOffset(), QPoint(400 - 1000, 300 - 800));
        QTest::mouseMove(&view, QPoint(3000, 3000));
        QCOMPARE(view.panOffset(), QPoint(0, 0));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(3000, 3000));
    }

    void theSelectionToolDrawsMovesAndMeasuresInPicturePixels() {
        Env e;
        e.pictures({QSize(200, 100)});
        CShowView view(e.doc);
        view.resize(400, 300); // the picture at 100 %, at (100, 100)
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setPaintWhileLoading(false);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        view.setSelectionActive(true);
        QSignalSpy sizes(&view, &CShowView::selectionChanged);
        QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(120, 110));
        QTest::mouseMove(&view, QPoint(170, 150));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(170, 150));
        QCOMPARE(view.selection(), (SelectionRect{120, 110, 170, 150}));
        QCOMPARE(view.selectionInPicture(), (SelectionRect{20, 10, 70, 50}));
        QCOMPARE(sizes.last().at(0).toInt(), 50);
        // Moving it by its inside, held inside the picture.
        QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(140, 130));
        QTest::mouseMove(&view, QPoint(600, 130));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(600, 130));
        QCOMPARE(view.selection(), (SelectionRect{250, 110, 300, 150}));
        view.moveSelection(-1, 0);
        QCOMPARE(view.selection().left, 249);
        // The size in picture pixels, limited by the picture.
        QCOMPARE(view.setSelectionSize(500, 20), QSize(51, 20));
        // Proportion 10:8 swapped: 8:10 inside the dragged box.
        view.setProportion(true, 10, 8, true);
        QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(10, 10)); // outside: cleared
        QVERIFY(view.selection().empty());
        QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(110, 100));
        QTest::mouseMove(&view, QPoint(210, 200));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(210, 200));
        QCOMPARE(view.selection(), (SelectionRect{110, 100, 190, 200}));
        // Clipped to the picture after the drag.
        QCOMPARE(view.selectionInPicture(), (SelectionRect{10, 0, 90, 100}));
        // A new picture has no selection tool.
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        QVERIFY(!view.selectionActive());
    }

    void navigationWrapsAndRespectsTheEditLock() {
        Env e;
        e.pictures({QSize(20, 20), QSize(20, 20), QSize(20, 20)});
        CShowView view(e.doc);
        view.resize(200, 200);
        view.setPaintWhileLoading(false);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        QVERIFY(view.canNavigate());
        QVERIFY(view.navigate(Step::Previous)); // wraps to the last
        QCOMPARE(e.doc.list().current(), 2);
        QVERIFY(view.navigate(Step::Next)); // and back to the first
        QCOMPARE(e.doc.list().current(), 0);
        QVERIFY(view.navigate(Step::Last));
        QCOMPARE(e.doc.list().current(), 2);
        view.setEditLock(true);
        QVERIFY(!view.canNavigate());
        QVERIFY(!view.navigate(Step::First));
        QCOMPARE(e.doc.list().current(), 2);
        QCOMPARE(view.loadPicture(-1), CShowView::kNoPicture);
        QCOMPARE(view.loadPicture(3), CShowView::kNoPicture);
    }

    void aKeyDuringTheDecodeTakesItsStepAndTheBoundaryHolds() {
        Env e;
        e.pictures({QSize(50, 50), QSize(1200, 3000), QSize(50, 50), QSize(60, 40)});
        CShowView view(e.doc);
        view.resize(300, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        // End pressed while picture 1 decodes band by band: the last shows.
        QCoreApplication::postEvent(&view, new QKeyEvent(QEvent::KeyPress, Qt::Key_End, {}));
        QVERIFY(view.navigate(Step::Next));
        QCOMPARE(e.doc.list().current(), 3);
        QCOMPARE(view.currentPath(), QString::fromStdString(e.dir.file("p3.png")));
        QCOMPARE(e.doc.displayed().width(), 60);

        // "View Repeat" 0: PgDn while the last picture decodes is ignored.
        e.store.setInt("general", "View Repeat", 0);
        e.doc.list().setCurrent(0);
        CShowView strict(e.doc);
        strict.resize(300, 300);
        fs::copy_file(e.dir.file("p1.png"), e.dir.file("p9.png"));
        e.doc.list().append(e.dir.file("p9.png")); // a big picture last
        QCoreApplication::postEvent(&strict, new QKeyEvent(QEvent::KeyPress, Qt::Key_PageDown, {}));
        QVERIFY(strict.navigate(Step::Last));
        QCOMPARE(e.doc.list().current(), 4);
        QCOMPARE(e.doc.displayed().height(), 3000); // decoded to the end
    }

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

        struct PaintLog : QObject {
            std::vector<QRect> rects;
            bool eventFilter(QObject*, QEvent* ev) override {
                if (ev->type() == QEvent::Paint)
                    rects.push_back(static_cast<QPaintEvent*>(ev)->rect());
                return false;
            }
        } log;
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

    void theNextPictureComesScaledToItsPlace() {
        Env e;
        e.pictures({QSize(50, 50)});
        const std::string next = detailedJpeg(e.dir, "next.jpg", 1600, 1200);
        e.doc.list().append(next);
        CShowView view(e.doc);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        view.listChanged(); // reads the next one ahead
        QVERIFY(view.readAhead().waitReady(next, 20000));
        QVERIFY(view.navigate(Step::Next));
        QCOMPARE(view.currentPath(), QString::fromStdString(next));
        // Handed over whole: no smaller decode, no background decode.
        QVERIFY(!view.showsSmallerDecode());
        QVERIFY(!e.doc.pictureOnItsWay());
        const QImage handed = view.snapshot();

        // The same as the view paints when it decodes the picture itself.
        e.settings.paintWhileLoading = 0;
        CShowView own(e.doc);
        own.resize(400, 300);
        own.show();
        QVERIFY(QTest::qWaitForWindowExposed(&own));
        QCOMPARE(own.loadPicture(1), CShowView::kLoaded);
        QCOMPARE(handed, own.snapshot());
    }

    void theReadAheadScalesForTheViewAndLendsMemory() {
        Env e;
        const std::string a = detailedJpeg(e.dir, "a.jpg", 800, 600);
        const std::string b = detailedJpeg(e.dir, "b.jpg", 800, 600);
        ReadAheadWorker worker;
        ReadAheadWorker::ViewFit fit;
        fit.client = QSize(200, 200);
        worker.post(a, fit);
        QVERIFY(worker.waitReady(a, 10000));
        imaging::Bitmap first;
        QImage screen;
        QVERIFY(worker.take(a, first, nullptr, &screen));
        QCOMPARE(screen.size(), QSize(200, 150));
        QCOMPARE(screen, ViewPainter::screenCopy(first, QSize(200, 150), 0));
        // Given back, its memory holds the next picture of the same size.
        const uint8_t* pages = first.bits();
        worker.recycle(std::move(first));
        worker.post(b, fit);
        QVERIFY(worker.waitReady(b, 10000));
        imaging::Bitmap second;
        QVERIFY(worker.take(b, second, nullptr, &screen));
        QCOMPARE(second.bits(), pages);
        imaging::Bitmap expected;
        QCOMPARE(imaging::PictureFile::load(b, expected), 1);
        QVERIFY(samePixels(second, expected));
        // Shown at its own size there is nothing to scale.
        fit.client = QSize(1000, 1000);
        worker.post(a, fit);
        QVERIFY(worker.waitReady(a, 10000));
        QVERIFY(worker.take(a, second, nullptr, &screen));
        QVERIFY(screen.isNull());
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
        struct PaintLog : QObject {
            std::vector<QRect> rects;
            bool eventFilter(QObject*, QEvent* ev) override {
                if (ev->type() == QEvent::Paint)
                    rects.push_back(static_cast<QPaintEvent*>(ev)->rect());
                return false;
            }
        } log;
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

    void theReadAheadPictureIsUsedOnlyForItsOwnPath() {
        Env e;
        e.pictures({QSize(30, 30), QSize(40, 40)});
        ReadAheadWorker worker;
        const std::string a = e.doc.list().pathAt(0), b = e.doc.list().pathAt(1);
        worker.post(b);
        QVERIFY(worker.waitReady(b, 5000));
        imaging::Bitmap out;
        QVERIFY(!worker.take(a, out));
        QVERIFY(worker.take(b, out));
        QCOMPARE(out.width(), 40);
        QVERIFY(!worker.take(b, out)); // handed out once
        // Fast repeats: only the last request counts.
        for (int i = 0; i < 50; ++i)
            worker.post(i % 2 ? a : b);
        QVERIFY(worker.waitReady(a, 5000));
        QVERIFY(!worker.take(b, out));
        QVERIFY(worker.take(a, out));
        QCOMPARE(out.width(), 30);
    }

    void aReadAheadNeverAddsASecondHugePicture() {
        Env e;
        e.pictures({QSize(3000, 2000), QSize(3000, 2000)});
        // "Huge" shrunk to 16 MB so that 18 MB pictures count as huge.
        imaging::memorybudget::setLimitsForTesting(size_t(16) << 20, size_t(1) << 30, 0);
        const std::string b = e.doc.list().pathAt(1);
        {
            imaging::Bitmap onScreen;
            QCOMPARE(imaging::PictureFile::load(e.doc.list().pathAt(0), onScreen), 1);
            ReadAheadWorker worker;
            worker.post(b);
            // Skipped, not decoded beside the one on screen.
            QVERIFY(!worker.waitReady(b, 1500));
            imaging::Bitmap out;
            QVERIFY(!worker.take(b, out));
            onScreen.free();
            worker.post(b);
            QVERIFY(worker.waitReady(b, 5000)); // alone it may
        }
        imaging::memorybudget::setLimitsForTesting(0, 0, 0);
        // The worker's thread lets go of its picture when it ends.
        QTRY_COMPARE_WITH_TIMEOUT(imaging::memorybudget::hugeBytesInUse(), size_t(0), 20000);
    }

    void aReadAheadStuckInADecodeIsLeftToFinishOnItsOwn() {
        Env e;
        // A picture large enough that its decode outlasts the stop timeout
        // (FIFOs no longer block a read: they are refused at once).
        const std::string big = e.dir.file("big.jpg");
        {
            QImage img(6000, 6000, QImage::Format_RGB32);
            quint32 seed = 12345;
            for (int y = 0; y < img.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
                for (int x = 0; x < img.width(); ++x) {
                    seed = seed * 1664525u + 1013904223u;
                    line[x] = 0xFF000000u | (seed >> 8);
                }
            }
            QVERIFY(img.save(QString::fromStdString(big), "JPEG", 95));
        }
        {
            ReadAheadWorker worker(1);
            worker.post(big);
            QTest::qWait(20);
        } // the worker goes; its thread is still decoding
        QVERIFY(ReadAheadWorker::lastStopDetached());
        // It ends on its own, touching nothing that was freed.
        QTest::qWait(3000);
        ReadAheadWorker quick;
        quick.post(e.dir.file("missing.png"));
        QTest::qWait(20);
    }

    void aCutJpegLoadedRowByRowIsReportedAsFailed() {
        Env e;
        // A JPEG whose data stops early but still ends with its end marker.
        QImage img(256, 256, QImage::Format_RGB32);
        quint32 seed = 99;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                seed = seed * 1664525u + 1013904223u;
                img.setPixel(x, y, 0xFF000000u | (seed >> 8));
            }
        QByteArray bytes;
        {
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QVERIFY(img.save(&buffer, "JPEG", 90));
        }
        const qsizetype sos = bytes.indexOf(QByteArray("\xFF\xDA", 2));
        QVERIFY(sos > 0);
        bytes.truncate(sos + (bytes.size() - sos) * 4 / 10);
        if (bytes.endsWith('\xFF'))
            bytes.chop(1);
        bytes.append("\xFF\xD9", 2);
        const std::string path = e.dir.file("cut.jpg");
        kamelo::test::writeFile(path, bytes.toStdString());
        e.doc.list().append(path);
        CShowView view(e.doc);
        view.resize(300, 300);
        QSignalSpy failed(&view, &CShowView::loadFailed);
        QCOMPARE(view.loadPicture(0), CShowView::kFailedAndReported);
        QCOMPARE(failed.count(), 1);
        QVERIFY(
            failed.at(0).at(0).toString().contains(QString::number(imaging::result::kTruncated)));
    }

    void anAnimationTooBigForItsBudgetSaysSo() {
        Env e;
        // 40 frames of one pixel on a 1000 x 1000 screen (3 MB a frame).
        QByteArray gif("GIF89a");
        gif.append("\xE8\x03\xE8\x03\x80\0\0", 7);
        gif.append("\0\0\0\xFF\xFF\xFF", 6);
        for (int i = 0; i < 40; ++i) {
            gif.append("\x21\xF9\x04\0\x0A\0\0\0", 8);
            gif.append("\x2C", 1);
            gif.append(char(i));
            gif.append("\0\0\0\x01\0\x01\0\0", 8);
            gif.append("\x02\x02\x44\x01\0", 5);
        }
        gif.append(';');
        const std::string path = e.dir.file("many.gif");
        kamelo::test::writeFile(path, gif.toStdString());
        e.doc.list().append(path);
        // A budget smaller than one screen: only the first frame is shown.
        imaging::memorybudget::setLimitsForTesting(0, 0, size_t(2) << 20);
        CShowView view(e.doc);
        view.resize(300, 300);
        QSignalSpy notices(&view, &CShowView::notice);
        const int rc = view.loadPicture(0);
        imaging::memorybudget::setLimitsForTesting(0, 0, 0);
        QCOMPARE(rc, CShowView::kLoaded);
        QCOMPARE(view.frameCount(), 1);
        QCOMPARE(notices.count(), 1);
        QVERIFY(notices.at(0).at(0).toString().contains(QStringLiteral("40")));
    }

    void gifFramesStepAndDeletingTheLastPictureEmptiesTheView() {
        if (kamelo::test::testDataDir().empty())
            QSKIP("sample pictures not found");
        Env e;
        const std::string gif = e.dir.file("anim.gif");
        fs::copy_file(kamelo::test::testDataFile("formats/gif/4frames.gif"), gif);
        e.doc.list().append(gif);
        CShowView view(e.doc);
        view.resize(200, 200);
        QCOMPARE(view.loadPicture(0), CShowView::kLoaded);
        QVERIFY(view.isAnimated());
        QCOMPARE(view.frameCount(), 4);
        // Playback steps on by itself with each frame's delay.
        QVERIFY(QTest::qWaitFor([&] { return view.frameIndex() != 0; }, 5000));
        QVERIFY(QTest::qWaitFor([&] { return view.frameIndex() == 0; }, 5000));
        view.stepFrame(true);
        QCOMPARE(view.frameIndex(), 1);
        view.stepFrame(false);
        view.stepFrame(false);
        QCOMPARE(view.frameIndex(), 3); // wrapped back
        // Shrunk into a smaller view, each frame is drawn, not a scaled
        // copy of the frame shown first.
        view.resize(20, 15);
        const QImage third = view.grab().toImage();
        view.stepFrame(true);
        QVERIFY(view.grab().toImage() != third);
        view.stepFrame(false);
        QCOMPARE(view.grab().toImage(), third);
        view.resize(200, 200);

        view.copyToClipboard();
        QCOMPARE(QGuiApplication::clipboard()->image().size(), QSize(40, 30));

        QSignalSpy changed(&view, &CShowView::pictureChanged);
        QSignalSpy removed(&view, &CShowView::pathRemoved);
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(e.dir.file("data")));
        YesUi ui;
        QVERIFY(view.deleteCurrent(false, ui));
        QVERIFY(!fs::exists(gif));
        QCOMPARE(removed.size(), 1);
        QVERIFY(e.doc.list().empty());
        QCOMPARE(changed.last().at(2).toInt(), 0); // the empty state
        QVERIFY(!view.hasPicture());
        const QImage shot = view.grab().toImage();
        QVERIFY(!shot.isNull());
    }
};

QTEST_MAIN(TestShowView)
#include "tst_showview.moc"
