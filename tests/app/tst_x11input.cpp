// Keys from a real X server: xdotool sends them through the XTEST
// extension as a keyboard would (key codes, Num Lock state), so they take
// the X11 key mapping that QTest's synthetic events skip. Run by
// run-x11-tests.sh under Xvfb, with and without a window manager; skipped
// where no X display or no xdotool is at hand.
#include "app/commandids.h"
#include "app/commandtable.h"
#include "base/settingskeys.h"
#include "programrun.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QStandardPaths>
#include <QStatusBar>

#include <unistd.h>

using namespace kamelo;
using namespace kamelo::test;

namespace {

QString xdotool() {
    return QStandardPaths::findExecutable(QStringLiteral("xdotool"));
}

// Presses and releases keys (xdotool names) on the focused X window.
bool xkeys(const QStringList& keys) {
    QProcess p;
    p.start(xdotool(),
            QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30")} +
                keys);
    return p.waitForFinished(10000) && p.exitCode() == 0;
}

// Types text on the focused X window.
bool xtype(const QString& text) {
    QProcess p;
    p.start(xdotool(),
            {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
    return p.waitForFinished(20000) && p.exitCode() == 0;
}

CShowFrame* openViewer(ProgramRun& r) {
    if (!r.browsePhotos())
        return nullptr;
    r.list()->selectIndex(r.row("a.png"));
    r.list()->currentView()->setFocus();
    QTest::keyClick(focused(), Qt::Key_Return);
    CShowFrame* v = r.viewer();
    if (!v)
        return nullptr;
    v->activateWindow();
    if (!QTest::qWaitForWindowActive(v))
        return nullptr;
    // Let a window manager finish placing and decorating it.
    QTest::qWait(500);
    return v;
}

} // namespace

class TestX11Input : public QObject {
    Q_OBJECT
    ScratchDir home_;

private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X display (run-x11-tests.sh runs it under Xvfb)");
        if (xdotool().isEmpty())
            QSKIP("xdotool is not installed (scripts/install-deps.sh installs it)");
        qputenv("HOME", QByteArray::fromStdString(home_.path()));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home_.file("data")));
        alarm(240);
    }

    void renamingAndTypingAPathKeepEnter() {
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        CMainFrame* f = r.frame();
        QTest::qWait(500);
        r.list()->selectIndex(r.row("a.png"));
        r.list()->currentView()->setFocus();
        QVERIFY(xkeys({QStringLiteral("F2")}));
        QTRY_VERIFY(qobject_cast<QLineEdit*>(focused()));
        QVERIFY(xkeys({QStringLiteral("ctrl+a")}));
        QVERIFY(xtype(QStringLiteral("renamed")));
        QVERIFY(xkeys({QStringLiteral("Return")}));
        QTRY_VERIFY(QFileInfo::exists(r.photo("renamed.png")));
        QTest::qWait(200);
        QVERIFY(!r.app->viewerFrame());

        // With a picture selected, a typed path and Enter (the keypad's too).
        r.list()->selectIndex(r.row("b.png"));
        QVERIFY(xkeys({QStringLiteral("alt+d")}));
        QTRY_COMPARE(focused(), f->browseView()->addressBox());
        QVERIFY(xtype(r.photo("sub")));
        QVERIFY(xkeys({QStringLiteral("KP_Enter")}));
        QTRY_COMPARE(f->browseView()->folder(), r.photo("sub"));
        QTest::qWait(200);
        QVERIFY(!r.app->viewerFrame());
        r.stop();
    }

    void keyboardMenusKeepTheListCommands() {
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        CMainFrame* f = r.frame();
        QTest::qWait(500);
        r.list()->selectIndex(r.row("b.png"));
        r.list()->currentView()->setFocus();
        QVERIFY(xkeys({QStringLiteral("alt+f")}));
        QMenu* file = f->menuBar()->actions().value(0)->menu();
        QTRY_VERIFY(file->isVisible());
        QVERIFY(f->commands()->action(cmd::kDelete)->isEnabled());
        QVERIFY(f->commands()->action(cmd::kExif)->isEnabled());
        QVERIFY(xkeys({QStringLiteral("Escape"), QStringLiteral("alt+e")}));
        QMenu* edit = f->menuBar()->actions().value(1)->menu();
        QTRY_VERIFY(edit->isVisible());
        QVERIFY(f->commands()->action(cmd::kCut)->isEnabled());
        QVERIFY(f->commands()->action(cmd::kRename)->isEnabled());
        QVERIFY(xkeys({QStringLiteral("Escape")}));
        QTRY_VERIFY(!edit->isVisible());
        r.stop();
    }

    void keypadKeysZoomWithNumLockOnAndOff() {
        ProgramRun r;
        r.start();
        CShowFrame* v = openViewer(r);
        QVERIFY(v);
        CShowView* view = v->view();
        // Num Lock is toggled before each round: one round runs with it on,
        // the other with it off.
        for (int round = 0; round < 2; ++round) {
            QVERIFY(xkeys({QStringLiteral("Num_Lock")}));
            QVERIFY(xkeys({QStringLiteral("KP_Multiply")}));
            QTRY_COMPARE(view->zoomMode(), int(CShowView::kAutoFit));
            const double start = view->zoomFactor();
            QVERIFY(xkeys({QStringLiteral("KP_Add")}));
            QTRY_VERIFY(view->zoomFactor() > start);
            QVERIFY(xkeys({QStringLiteral("KP_Subtract"), QStringLiteral("KP_Subtract")}));
            QTRY_VERIFY(view->zoomFactor() < start);
            QVERIFY(xkeys({QStringLiteral("KP_Divide")}));
            QTRY_COMPARE(view->zoomMode(), int(CShowView::kActualSize));
            QCOMPARE(view->zoomFactor(), 1.0);
        }
        // The main keyboard's minus does not zoom.
        QVERIFY(xkeys({QStringLiteral("minus")}));
        QTest::qWait(200);
        QCOMPARE(view->zoomFactor(), 1.0);
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
        CShowFrame* v = openViewer(r);
        QVERIFY(v);
        const QRect before = v->geometry();
        const QRect frameBefore = v->frameGeometry();
        for (const char* leave : {"Return", "Escape"}) {
            QVERIFY(xkeys({QStringLiteral("alt+Return")}));
            QTRY_VERIFY(v->isFullScreen());
            QTest::qWait(300);
            QVERIFY(xkeys({QString::fromLatin1(leave)}));
            QTRY_VERIFY(!v->isFullScreen());
            QCOMPARE(v->isMaximized(), maximized != 0);
            QTRY_COMPARE(v->geometry(), before);
            QTRY_COMPARE(v->frameGeometry(), frameBefore);
            // Settled: a window manager does not move it afterwards.
            QTest::qWait(500);
            QCOMPARE(v->geometry(), before);
            const QRect bar(v->statusBar()->mapToGlobal(QPoint()), v->statusBar()->size());
            QVERIFY(v->screen()->geometry().contains(bar));
        }
        r.stop();
    }
};

QTEST_MAIN(TestX11Input)
#include "tst_x11input.moc"
