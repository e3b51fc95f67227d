// The viewer driven as people use it: keys sent to the focused widget
// through the shortcut and focus system, menus opened from the keyboard.
#include "app/commandids.h"
#include "app/commandtable.h"
#include "base/settingskeys.h"
#include "imaging/picturefile.h"
#include "programrun.h"

#include <cstring>

#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QWheelEvent>

using namespace kamelo;
using namespace kamelo::test;

namespace {

// Opens the viewer on a picture of photos/ with Enter in the list.
CShowFrame* openViewer(ProgramRun& r, const char* name) {
    if (!r.browsePhotos())
        return nullptr;
    CThumbListCtrl* list = r.list();
    list->selectIndex(r.row(name));
    list->currentView()->setFocus();
    QTest::keyClick(focused(), Qt::Key_Return);
    CShowFrame* v = r.viewer();
    if (v && !QTest::qWaitForWindowActive(v))
        return nullptr;
    return v;
}

int checkedZoomModes(CShowFrame* v) {
    int n = 0;
    for (int id : {cmd::kActualSize, cmd::kAutoFit, cmd::kFixedRatio})
        n += v->commands()->action(id)->isChecked() ? 1 : 0;
    return n;
}

} // namespace

class TestViewerInput : public QObject {
    Q_OBJECT
    ScratchDir home_;

private slots:
    void initTestCase() { useScratchHome(home_, 240); }

    void aPictureGivenOnTheCommandLineShowsBeforeItsFolderIsListed() {
        {
            ProgramRun r;
            r.start({r.photo("b.png").toStdString()});
            // Until the folder listing arrives the picture is the whole list.
            QCOMPARE(r.app->doc().list().count(), 1);
            CShowFrame* v = r.viewer();
            QVERIFY(v);
            QTRY_COMPARE(r.app->doc().list().count(), 3);
            QCOMPARE(r.app->doc().list().current(), 1);
            QCOMPARE(v->view()->currentPath(), r.photo("b.png"));
            r.stop();
        }
        {
            // A wheel turn before the listing arrived waits for it and steps
            // to the next picture by name.
            ProgramRun r;
            r.start({r.photo("b.png").toStdString()});
            QCOMPARE(r.app->doc().list().count(), 1);
            CShowView* view = r.app->viewerFrame()->view();
            const QPointF at(view->width() / 2.0, view->height() / 2.0);
            QWheelEvent wheel(at, view->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(view, &wheel);
            QCOMPARE(r.app->doc().list().count(), 3);
            QCOMPARE(view->currentPath(), r.photo("c.png"));
            QVERIFY(r.viewer());
            QCOMPARE(view->currentPath(), r.photo("c.png"));
            r.stop();
        }
    }

    void keypadKeysZoom() {
        ProgramRun r;
        r.start();
        CShowFrame* v = openViewer(r, "a.png");
        QVERIFY(v);
        CShowView* view = v->view();
        QCOMPARE(view->zoomMode(), int(CShowView::kAutoFit));
        const double start = view->zoomFactor();
        QTest::keyClick(focused(), Qt::Key_Plus, Qt::KeypadModifier);
        QTRY_VERIFY(view->zoomFactor() > start);
        QTest::keyClick(focused(), Qt::Key_Minus, Qt::KeypadModifier);
        QTRY_COMPARE(view->zoomFactor(), start);
        QTest::keyClick(focused(), Qt::Key_Minus, Qt::KeypadModifier);
        QTRY_VERIFY(view->zoomFactor() < start);
        QTest::keyClick(focused(), Qt::Key_Slash, Qt::KeypadModifier);
        QTRY_COMPARE(view->zoomMode(), int(CShowView::kActualSize));
        QCOMPARE(view->zoomFactor(), 1.0);
        QTest::keyClick(focused(), Qt::Key_Asterisk, Qt::KeypadModifier);
        QTRY_COMPARE(view->zoomMode(), int(CShowView::kAutoFit));
        // The main keyboard's keys do not zoom.
        const double now = view->zoomFactor();
        QTest::keyClick(focused(), Qt::Key_Minus);
        QTest::keyClick(focused(), Qt::Key_Slash);
        QTest::keyClick(focused(), Qt::Key_Asterisk, Qt::ShiftModifier);
        QCoreApplication::processEvents();
        QCOMPARE(view->zoomFactor(), now);
        QCOMPARE(view->zoomMode(), int(CShowView::kAutoFit));
        r.stop();
    }

    void exactlyOneZoomModeIsChecked() {
        ProgramRun r;
        r.start();
        CShowFrame* v = openViewer(r, "a.png");
        QVERIFY(v);
        QTest::keyClick(focused(), Qt::Key_Slash, Qt::KeypadModifier);
        QTRY_COMPARE(v->view()->zoomMode(), int(CShowView::kActualSize));
        // 보기 > 확대/축소 > 비율 고정, all from the keyboard.
        QTest::keyClick(focused(), Qt::Key_V, Qt::AltModifier);
        QMenu* view = v->menuBar()->actions().value(1)->menu();
        QTRY_VERIFY(view->isVisible());
        QCOMPARE(checkedZoomModes(v), 1);
        QVERIFY(v->commands()->action(cmd::kActualSize)->isChecked());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Z);
        QTRY_VERIFY(QApplication::activePopupWidget() != view);
        auto* zoom = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(zoom);
        QAction* fixed = v->commands()->action(cmd::kFixedRatio);
        QTest::mouseClick(zoom, Qt::LeftButton, {}, zoom->actionGeometry(fixed).center());
        QTRY_VERIFY(!view->isVisible());
        QTRY_COMPARE(v->view()->zoomMode(), int(CShowView::kFixedRatio));
        QCOMPARE(checkedZoomModes(v), 1);
        QVERIFY(v->commands()->action(cmd::kFixedRatio)->isChecked());
        // Choosing the checked mode again keeps it checked.
        v->menuBar()->setFocus();
        QTest::keyClick(focused(), Qt::Key_Asterisk, Qt::KeypadModifier);
        QTRY_COMPARE(v->view()->zoomMode(), int(CShowView::kAutoFit));
        QCOMPARE(checkedZoomModes(v), 1);
        QVERIFY(v->commands()->action(cmd::kAutoFit)->isChecked());
        r.stop();
    }

    void theStatusBarShowsTheShownBitmapsDepth() {
        ProgramRun r;
        QImage img(40, 30, QImage::Format_Indexed8);
        img.setColorCount(4);
        for (int i = 0; i < 4; ++i)
            img.setColor(i, qRgb(60 * i, 20, 200 - 40 * i));
        img.fill(2);
        QVERIFY(img.save(r.photo("d.png"), "PNG"));
        r.start();
        CShowFrame* v = openViewer(r, "d.png");
        QVERIFY(v);
        QVERIFY2(v->statusPane(3)->text().startsWith(QStringLiteral("40x30x24b ")),
                 qPrintable(v->statusPane(3)->text()));
        r.stop();
    }

    void copyAndActualSizeAfterAFittedJpegShowTheFullPicture() {
        ProgramRun r;
        // Larger than any window here, so it is fitted smaller.
        QImage img(3000, 2000, QImage::Format_RGB32);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                img.setPixel(x, y, qRgb((x * 5) ^ y, (x + 3 * y) % 256, (x * y) % 253));
        QVERIFY(img.save(r.photo("big.jpg"), "JPEG", 90));
        imaging::Bitmap full;
        QCOMPARE(imaging::PictureFile::load(r.photo("big.jpg").toStdString(), full), 1);
        r.start({r.photo("big.jpg").toStdString()});
        CShowFrame* v = r.viewer();
        QVERIFY(v);
        QVERIFY(QTest::qWaitForWindowActive(v));
        CShowView* view = v->view();
        QVERIFY(view->displayRect().width() < 3000);

        QGuiApplication::clipboard()->clear();
        QTest::keyClick(focused(), Qt::Key_C, Qt::AltModifier);
        QTRY_COMPARE(QGuiApplication::clipboard()->image().size(), QSize(3000, 2000));
        const imaging::Bitmap copied =
            imaging::Bitmap::fromImage(QGuiApplication::clipboard()->image());
        for (int y = 0; y < full.height(); y += 7)
            QVERIFY(std::memcmp(copied.row(y), full.row(y), size_t(full.width()) * 3) == 0);

        // Actual size: the full pixels, one to one.
        QTest::keyClick(focused(), Qt::Key_Slash, Qt::KeypadModifier);
        QTRY_COMPARE(view->zoomFactor(), 1.0);
        QTRY_VERIFY(!view->showsSmallerDecode());
        const QRect dest = view->displayRect();
        const QImage shot = view->snapshot();
        for (int y = 0; y < shot.height(); y += 3)
            for (int x = 0; x < shot.width(); x += 3)
                if ((shot.pixel(x, y) & 0xFFFFFF) != full.pixel(x - dest.x(), y - dest.y()))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        r.stop();
    }

    void leavingFullScreenRestoresThePlacement_data() {
        QTest::addColumn<int>("maximized");
        QTest::newRow("placed") << 0;
        QTest::newRow("maximized") << 1;
    }

    void leavingFullScreenRestoresThePlacement() {
        QFETCH(int, maximized);
        ProgramRun r;
        r.preset([maximized](SettingsStore& s) {
            s.setInt(keys::kPosition, keys::kViewerMaximize, maximized);
            s.setInt(keys::kPosition, keys::kViewerX, 40);
            s.setInt(keys::kPosition, "viewer y", 50);
            s.setInt(keys::kPosition, keys::kViewerCx, 500);
            s.setInt(keys::kPosition, "viewer cy", 400);
        });
        r.start();
        CShowFrame* v = openViewer(r, "a.png");
        QVERIFY(v);
        QTRY_VERIFY(v->geometry().width() > 0);
        const QRect before = v->geometry();
        const QRect frameBefore = v->frameGeometry();
        QTest::keyClick(focused(), Qt::Key_Return, Qt::AltModifier);
        QTRY_VERIFY(v->isFullScreen());
        QVERIFY(!v->statusBar()->isVisible());
        QTest::keyClick(focused(), Qt::Key_Return);
        QTRY_VERIFY(!v->isFullScreen());
        QCOMPARE(v->isMaximized(), maximized != 0);
        QTRY_COMPARE(v->geometry(), before);
        QTRY_COMPARE(v->frameGeometry(), frameBefore);
        QVERIFY(v->statusBar()->isVisible());
        // The status bar lies inside the screen.
        const QRect bar(v->statusBar()->mapToGlobal(QPoint()), v->statusBar()->size());
        QVERIFY(v->screen()->geometry().contains(bar));
        // Esc leaves full screen the same way.
        QTest::keyClick(focused(), Qt::Key_Return, Qt::AltModifier);
        QTRY_VERIFY(v->isFullScreen());
        QTest::keyClick(focused(), Qt::Key_Escape);
        QTRY_VERIFY(!v->isFullScreen());
        QTRY_COMPARE(v->geometry(), before);
        r.stop();
    }
};

QTEST_MAIN(TestViewerInput)
#include "tst_viewerinput.moc"
