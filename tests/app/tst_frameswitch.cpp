// Between the browser and the viewer: the pictures the viewer takes, the
// way back, and a program started with a picture.

#include "app/commandids.h"
#include "app/commandtable.h"
#include "app/mainframe.h"
#include "app/showframe.h"
#include "base/settingskeys.h"
#include "browser/browseview.h"
#include "browser/thumblistctrl.h"
#include "tests/app/framesrun.h"
#include "tests/support/scratchdir.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QtTest>

using namespace kamelo;
using namespace kamelo::test::apprun;
using kamelo::test::ScratchDir;

class TestFrameSwitch : public QObject {
    Q_OBJECT
    ScratchDir home_;

private slots:
    void initTestCase() { keepHomeOurs(home_); }

    void enteringTheViewerTakesThePicturesAfterTheParentEntry() {
        Run r;
        r.start();
        CMainFrame* f = r.frame();
        QVERIFY(f->browseView()->loadFolder(r.photo("")));
        CThumbListCtrl* list = f->browseView()->list();
        // "..", "sub", a.png, b.png, c.PNG (notes.txt is not listed).
        QCOMPARE(list->itemCount(), 5);
        QCOMPARE(list->kindAt(0), CThumbListCtrl::Kind::Parent);
        QVERIFY(list->isFolderAt(1));

        QVERIFY(list->selectPath(r.photo("b.png")));
        f->commands()->refresh();
        QVERIFY(f->commands()->action(cmd::kViewLarge)->isEnabled());
        f->commands()->action(cmd::kViewLarge)->trigger();
        CShowFrame* v = r.viewer();
        QVERIFY(v);
        QVERIFY(!f->isVisible());
        const PictureList& doc = r.app->doc().list();
        QCOMPARE(doc.count(), 3);
        QCOMPARE(doc.current(), 1);
        QCOMPARE(QString::fromStdString(doc.pathAt(2)), r.photo("c.PNG"));
        // The switch stores the browser's place.
        QCOMPARE(r.storedInt(keys::kPosition, keys::kBrowserX, -1), relative(f->geometry()).x());
        QCOMPARE(v->statusPane(1)->text(), QStringLiteral("2/3"));
        QCOMPARE(v->statusPane(2)->text(), QStringLiteral("b.png"));
        QVERIFY(v->statusPane(3)->text().startsWith(QStringLiteral("40x30x24b  1KB  ZOOM(100%)")));

        // Back to the browser with Enter: the viewer goes, the program stays.
        QPointer<CShowFrame> gone = v;
        v->commands()->action(cmd::kBackToBrowser)->trigger();
        QTRY_VERIFY(gone.isNull());
        QVERIFY(r.frame() && r.frame()->isVisible());
        QCOMPARE(list->pathAt(list->firstSelectedIndex()), r.photo("b.png"));

        // The parent entry selected: the walk never meets it, the index stays.
        list->clearSelection();
        list->selectIndex(0);
        f->enterViewer();
        v = r.viewer();
        QVERIFY(v);
        QCOMPARE(r.app->doc().list().current(), 1);
        QCOMPARE(v->statusPane(2)->text(), QStringLiteral("b.png"));
        r.stop();
    }

    void aFolderWithoutPicturesNeverOpensTheViewer() {
        Run r;
        r.start();
        CMainFrame* f = r.frame();
        QVERIFY(f->browseView()->loadFolder(r.photo("sub")));
        f->browseView()->list()->selectIndex(0);
        f->enterViewer();
        QVERIFY(!r.app->viewerFrame());
        QVERIFY(f->isVisible());
        r.stop();
    }

    void startedWithAPictureTheBrowserStaysHiddenAndNothingIsStored() {
        Run r;
        r.start({r.photo("b.png").toStdString()});
        QCOMPARE(r.app->openedWithFile(), 1);
        // Made once the picture is on screen: it would hold the viewer back.
        QVERIFY(!r.app->madeMainFrame());
        CShowFrame* v = r.viewer();
        QVERIFY(v && v->isVisible());
        QTRY_VERIFY(r.app->madeMainFrame());
        QVERIFY(!r.frame()->isVisible());
        const PictureList& doc = r.app->doc().list();
        QCOMPARE(doc.count(), 3);
        QCOMPARE(QString::fromStdString(doc.pathAt(0)), r.photo("a.png"));
        QCOMPARE(QString::fromStdString(doc.currentPath()), r.photo("b.png"));
        QCOMPARE(QString::fromStdString(doc.pathAt(2)), r.photo("c.PNG"));
        // The picture is painted, centred on the background.
        const QImage shot = v->view()->grab().toImage();
        const QRect shown = v->view()->displayRect();
        QCOMPARE(shown.size(), QSize(40, 30));
        QCOMPARE(shot.pixelColor(shown.center()), QColor(Qt::darkCyan));
        QVERIFY(shot.pixelColor(shown.topLeft() - QPoint(2, 2)) != QColor(Qt::darkCyan));

        // Escape closes the viewer and with it the program.
        QPointer<QMainWindow> browser = r.app->browserFrame();
        QPointer<CShowFrame> viewer = v;
        v->commands()->action(cmd::kViewerExit)->trigger();
        QTRY_VERIFY(viewer.isNull());
        QTRY_VERIFY(browser.isNull());
        r.stop();
        QCOMPARE(r.storedInt(keys::kPosition, keys::kBrowserX, -1), -1);
        QCOMPARE(r.storedInt(keys::kPosition, keys::kBrowserMaximize, -1), -1);
        // The viewer keeps its own placement.
        QCOMPARE(r.storedInt(keys::kPosition, keys::kViewerMaximize, -1), 1);
    }

    void returningFromAViewerStartedWithAPictureListsItsFolder() {
        Run r;
        r.start({r.photo("c.PNG").toStdString()});
        CShowFrame* v = r.viewer();
        QVERIFY(v);
        QPointer<CShowFrame> viewer = v;
        QTest::keyClick(v, Qt::Key_Return);
        QTRY_VERIFY(viewer.isNull());
        CMainFrame* f = r.frame();
        QVERIFY(f && f->isVisible());
        QCOMPARE(r.app->openedWithFile(), 0);
        QCOMPARE(f->browseView()->folder(), r.photo("").chopped(1));
        CThumbListCtrl* list = f->browseView()->list();
        QCOMPARE(list->pathAt(list->firstSelectedIndex()), r.photo("c.PNG"));
        // Returned once, the browser is the program's own again: its place is
        // stored at the end.
        r.stop();
        QVERIFY(r.storedInt(keys::kPosition, keys::kBrowserX, -1) >= 0);
    }

    void aStartPictureWithoutPicturesBesideItEndsTheProgram() {
        Run r;
        const std::string lone = r.dir.file("photos/sub/readme.txt");
        kamelo::test::writeFile(lone, "text");
        r.start({lone});
        QPointer<QMainWindow> browser = r.app->browserFrame();
        QTRY_VERIFY_WITH_TIMEOUT(browser.isNull(), 3000);
        QVERIFY(!r.app->viewerFrame());
        r.app->exitInstance(0);
    }
};

QTEST_MAIN(TestFrameSwitch)
#include "tst_frameswitch.moc"
