// The frame tool from the browser: Ctrl+D and the context menu's command on
// a selection open the viewer with the frame panel in batch mode.
#define QTEST_QPA_MOUSE_HANDLING

#include "app/commandids.h"
#include "app/commandtable.h"
#include "edit/batchhandover.h"
#include "edit/editpanel.h"
#include "frames/ui/framepanel.h"
#include "programrun.h"
#include "resources/qtstrings.h"
#include "resources/stringtable.h"
#include "skinwriter.h"

#include <QAction>
#include <QListWidget>
#include <QPushButton>

using namespace kamelo;
using namespace kamelo::test;

class TestFrameTool : public QObject {
    Q_OBJECT
    ScratchDir home_;

private slots:
    void initTestCase() { useScratchHome(home_, 120); }

    void ctrlDOnASelectionOpensTheFramePanel() {
        ProgramRun r;
        writeSkin(r.dir.file("program/skin"), "wood", {"나무 액자"});
        r.start();
        QVERIFY(r.browsePhotos());
        clickItem(r.list(), r.row("a.png"));
        clickItem(r.list(), r.row("c.png"), Qt::ControlModifier);
        QTRY_COMPARE(r.list()->selectedIndexes().size(), 2);
        r.frame()->commands()->refresh();
        QVERIFY(r.frame()->commands()->action(cmd::kFrameDecoration)->isEnabled());
        // The context menu has its own command for it.
        QAction* context = r.frame()->commands()->action(cmd::kContextFrameDecoration);
        QVERIFY(context);
        QCOMPARE(context->text(), res::qtext(res::IDS_MENU_FRAME_CONTEXT));

        QTest::keyClick(focused(), Qt::Key_D, Qt::ControlModifier);
        CShowFrame* v = r.viewer();
        QVERIFY(v);
        QVERIFY(!r.frame()->isEnabled());
        QTRY_VERIFY(v->editPanel()->toolOpen());
        QCOMPARE(v->editPanel()->currentTool(), edit::ToolId::Frame);
        auto* panel = qobject_cast<frames::FramePanel*>(v->editPanel()->toolPanel());
        QVERIFY(panel);
        QVERIFY(panel->batchMode());
        auto* list = panel->findChild<QListWidget*>(QStringLiteral("frameList"));
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(1)->text(), QString::fromUtf8("나무 액자"));
        QCOMPARE(panel->batchCaption(), QString::fromUtf8("액자넣기(1/2) - ") + r.photo("a.png"));
        QTRY_VERIFY(panel->framed().isAllocated());

        // Cancel gives the browser back; nothing ran.
        click(panel->findChild<QPushButton*>(QStringLiteral("cancelButton")));
        QTRY_VERIFY(r.frame()->isEnabled());
        QVERIFY(!r.app->batchHandOver().active());
        r.stop();
    }

    void withoutSkinsTheBrowserComesBack() {
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        clickItem(r.list(), r.row("b.png"));
        ModalWatch watch;
        QTest::keyClick(focused(), Qt::Key_D, Qt::ControlModifier);
        // "액자 스킨파일을 찾을 수 없습니다." and the tool stays closed.
        QTRY_COMPARE(watch.seen, 1);
        QTRY_VERIFY(r.frame()->isEnabled());
        QVERIFY(!r.app->batchHandOver().active());
        if (CShowFrame* v = r.app->viewerFrame())
            QVERIFY(!v->editPanel()->toolOpen());
        r.stop();
    }

private:
    static void click(QAbstractButton* b) {
        QVERIFY(b);
        QTest::mouseClick(b, Qt::LeftButton);
    }
};

QTEST_MAIN(TestFrameTool)
#include "tst_frametool.moc"
