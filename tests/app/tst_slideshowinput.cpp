// The slide show driven from the keyboard: S enters full screen and starts
// it, S again stops it, leaving full screen stops it, the paging keys step
// it, and a picture that does not load never opens a message box.
#include "app/commandids.h"
#include "app/commandtable.h"
#include "programrun.h"
#include "viewer/slideshow.h"

using namespace kamelo;
using namespace kamelo::test;

namespace {

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

} // namespace

class TestSlideShowInput : public QObject {
    Q_OBJECT
    ScratchDir home_;

private slots:
    void initTestCase() { useScratchHome(home_, 240); }

    void sStartsInFullScreenAndStops() {
        ProgramRun r;
        r.preset([](SettingsStore& s) { s.setInt("Slide Show", "Delay Time", 60000); });
        r.start();
        CShowFrame* v = openViewer(r, "a.png");
        QVERIFY(v);
        CShowView* view = v->view();
        QTest::keyClick(focused(), Qt::Key_S);
        QTRY_VERIFY(view->slideShowRunning());
        QVERIFY(v->isFullScreenMode());
        // PgDn is a slide step with a scene change.
        const int before = view->slideShow().changesPlayed();
        QTest::keyClick(focused(), Qt::Key_PageDown);
        QTRY_VERIFY(view->slideShow().changesPlayed() > before);
        QTRY_COMPARE(v->statusPane(2)->text(), QStringLiteral("b.png"));
        // S again stops it; full screen stays.
        QTRY_VERIFY(!view->slideShow().playing());
        QTest::keyClick(focused(), Qt::Key_S);
        QTRY_VERIFY(!view->slideShowRunning());
        QVERIFY(v->isFullScreenMode());
        // And starts it again.
        QTest::keyClick(focused(), Qt::Key_S);
        QTRY_VERIFY(view->slideShowRunning());
        // Leaving full screen (Esc) stops it and keeps the viewer open.
        QTest::keyClick(focused(), Qt::Key_Escape);
        QTRY_VERIFY(!v->isFullScreenMode());
        QVERIFY(!view->slideShowRunning());
        QVERIFY(r.app->viewerFrame());
        r.stop();
    }

    void aPictureThatFailsIsSkippedWithItsName() {
        ProgramRun r;
        // b.png is no picture any more once the list has it.
        r.preset([](SettingsStore& s) {
            s.setInt("Slide Show", "Delay Time", 20);
            for (int i = 0; i < 8; ++i)
                s.setInt("Slide Show", "Effect " + std::to_string(i), 0);
        });
        r.start();
        CShowFrame* v = openViewer(r, "a.png");
        QVERIFY(v);
        writeFile(r.photo("b.png").toStdString(), "broken now");
        ModalWatch modals;
        QTest::keyClick(focused(), Qt::Key_S);
        QTRY_VERIFY(v->view()->slideShowRunning());
        // It goes on to c.png, the skipped name beside it, and round again.
        QTRY_VERIFY_WITH_TIMEOUT(v->statusPane(2)->text().startsWith(QStringLiteral("c.png - '"
                                                                                    "b.png'")),
                                 10000);
        QTRY_COMPARE_WITH_TIMEOUT(v->statusPane(2)->text(), QStringLiteral("a.png"), 10000);
        QVERIFY(v->view()->slideShowRunning());
        QCOMPARE(modals.seen, 0);
        QTest::keyClick(focused(), Qt::Key_S);
        QTRY_VERIFY(!v->view()->slideShowRunning());
        r.stop();
    }
};

QTEST_MAIN(TestSlideShowInput)
#include "tst_slideshowinput.moc"
