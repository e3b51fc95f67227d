// The picture view in the user's hands: zoom, panning, the selection tool,
// stepping through the list, failed loads and animations.

#include "chrome/fileui.h"
#include "imaging/memorybudget.h"
#include "imaging/result.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"
#include "tests/viewer/showviewenv.h"
#include "viewer/core/zoomrules.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QtTest>

#include <filesystem>

using namespace kamelo;
using namespace kamelo::test::showview;
namespace fs = std::filesystem;
using Step = CShowView::Step;

namespace {

struct YesUi : FileUi {
    bool confirm(QWidget*, const QString&) override { return true; }
    void error(QWidget*, const QString&) override {}
};

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
