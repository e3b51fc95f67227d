// The frames' commands: menu texts, ids and keys, the browser's sort, view
// and refresh commands, and what the focus and the selection enable.

#include "app/commandids.h"
#include "app/commandtable.h"
#include "app/mainframe.h"
#include "app/showframe.h"
#include "base/settingskeys.h"
#include "browser/browseview.h"
#include "browser/leftview.h"
#include "browser/thumblistctrl.h"
#include "tests/app/framesrun.h"
#include "tests/support/scratchdir.h"

#include <QAction>
#include <QDockWidget>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

using namespace kamelo;
using namespace kamelo::test::apprun;
using kamelo::test::ScratchDir;

class TestFrameCommands : public QObject {
    Q_OBJECT
    ScratchDir home_;

private slots:
    void initTestCase() { keepHomeOurs(home_); }

    void menusCarryTheirIdsTextsAndKeys() {
        Run r;
        r.start();
        struct Item {
            int id;
            const char* text;
            QKeySequence key;
        };
        const Item browser[] = {
            {cmd::kViewLarge, "크게보기(&V)\tEnter", QKeySequence(Qt::Key_Return)},
            {cmd::kNewFolder, "새폴더 만들기(&W)\tCtrl+W", QKeySequence(Qt::CTRL | Qt::Key_W)},
            {cmd::kDelete, "삭제(&D)\tDEL", QKeySequence(Qt::Key_Delete)},
            {cmd::kAppExit, "종료(&X)", QKeySequence()},
            {cmd::kSelectAll, "모두 선택(&A)\tCtrl+A", QKeySequence(Qt::CTRL | Qt::Key_A)},
            {cmd::kInvertSelection, "선택 영역 반전(&I)\tCtrl+I",
             QKeySequence(Qt::CTRL | Qt::Key_I)},
            {cmd::kToggleFolderPane, "폴더(&O)", QKeySequence()},
            {cmd::kToggleInfoPane, "미리보기/이미지정보(&P)", QKeySequence()},
            {cmd::kToggleStatusBar, "상태 표시줄(&B)", QKeySequence()},
            {cmd::kQuickRefresh, "빠르게 새로 고침\tF5", QKeySequence(Qt::Key_F5)},
            {cmd::kFullRefresh, "새로 고침(&R)\tCtrl+F5", QKeySequence(Qt::CTRL | Qt::Key_F5)},
            {cmd::kPreferences, "환경설정(&C)...\tCtrl+O", QKeySequence(Qt::CTRL | Qt::Key_O)},
            {cmd::kClearCache, "캐쉬파일 지우기(&U)\tCtrl+U", QKeySequence(Qt::CTRL | Qt::Key_U)},
            {cmd::kUpdate, "업데이트(&U)", QKeySequence()},
            {cmd::kAbout, "카멜로 정보(&A)...", QKeySequence()},
            {cmd::kDeletePermanently, "", QKeySequence(Qt::SHIFT | Qt::Key_Delete)},
            {cmd::kFocusAddress, "", QKeySequence(Qt::ALT | Qt::Key_D)},
        };
        CommandTable* c = r.frame()->commands();
        for (const Item& i : browser) {
            QVERIFY2(c->has(i.id), qPrintable(QString::number(i.id)));
            QCOMPARE(c->action(i.id)->text(), QString::fromUtf8(i.text));
            QCOMPARE(c->action(i.id)->shortcut(), i.key);
        }
        // Every menu entry is one of the table's commands.
        for (QAction* top : r.frame()->menuBar()->actions())
            for (QAction* a : top->menu()->actions())
                QVERIFY(a->isSeparator() || a->menu() || c->has(a->data().toInt()));
        QVERIFY(c->action(cmd::kAcquire)->isEnabled());
        QVERIFY(c->action(cmd::kPreferences)->isEnabled());
        QVERIFY(c->action(cmd::kAppExit)->isEnabled());

        QVERIFY(r.frame()->browseView()->loadFolder(r.photo("")));
        QVERIFY(r.frame()->browseView()->list()->selectPath(r.photo("a.png")));
        r.frame()->enterViewer();
        CShowFrame* v = r.viewer();
        QVERIFY(v);
        const Item viewer[] = {
            {cmd::kBackToBrowser, "목록보기(&B)\tEnter", QKeySequence(Qt::Key_Return)},
            {cmd::kViewerExit, "종료(&X)\tESC", QKeySequence(Qt::Key_Escape)},
            {cmd::kFullScreen, "전체화면으로 보기(&F)\tAlt+Enter",
             QKeySequence(Qt::ALT | Qt::Key_Return)},
            {cmd::kEditMode, "편집모드\tE", QKeySequence(Qt::Key_E)},
        };
        for (const Item& i : viewer) {
            QVERIFY2(v->commands()->has(i.id), qPrintable(QString::number(i.id)));
            QCOMPARE(v->commands()->action(i.id)->text(), QString::fromUtf8(i.text));
            QCOMPARE(v->commands()->action(i.id)->shortcut(), i.key);
        }
        r.stop();
    }

    void browserCommandsSortSwitchAndShowProgress() {
        Run r;
        r.start();
        CMainFrame* f = r.frame();
        QVERIFY(f->browseView()->loadFolder(r.photo("")));
        CThumbListCtrl* list = f->browseView()->list();
        CommandTable* c = f->commands();
        QCOMPARE(list->pathAt(2), r.photo("a.png"));
        c->action(cmd::kSortByName)->trigger(); // the same column: descending
        QVERIFY(!list->sortAscending());
        QCOMPARE(list->pathAt(2), r.photo("c.PNG"));
        c->action(cmd::kContextSortAscending)->trigger();
        QCOMPARE(list->pathAt(2), r.photo("a.png"));
        QCOMPARE(list->kindAt(0), CThumbListCtrl::Kind::Parent); // always first

        c->action(cmd::kDetailsView)->trigger();
        QCOMPARE(list->viewType(), 1);
        QCOMPARE(r.app->settings().viewType, 1);
        c->action(cmd::kThumbnailView)->trigger();
        QCOMPARE(list->viewType(), 0);

        f->showProgress(42);
        QCOMPARE(f->statusPane(2)->text(), QStringLiteral("42%"));
        f->showProgress(100);
        QCOMPARE(f->statusPane(2)->text(), QString());
        QVERIFY(QTest::qWaitFor([&] { return !list->isLoading(); }, 10000));
        QVERIFY(f->statusPane(1)->text().startsWith(QStringLiteral("총 아이템수 : 3개")));

        // The two context menus, from the frame's commands.
        auto* items = f->findChild<QMenu*>(QStringLiteral("context file 00"));
        auto* space = f->findChild<QMenu*>(QStringLiteral("context file 01"));
        QVERIFY(items && space);
        QCOMPARE(items->actions().first()->data().toInt(), cmd::kViewLarge);
        QCOMPARE(space->actions().first()->data().toInt(), cmd::kContextPaste);
        r.stop();
    }

    void theLastFolderIsOpenedAgainAndRefreshesUseTheCache() {
        Run r;
        r.start();
        CMainFrame* f = r.frame();
        QVERIFY(f->browseView()->navigate(r.photo("").chopped(1)));
        QCOMPARE(f->leftView()->currentFolder(), r.photo("").chopped(1));
        CThumbListCtrl* list = f->browseView()->list();
        QVERIFY(QTest::qWaitFor([&] { return !list->isLoading(); }, 10000));
        const QString chain = QString::fromStdString(r.app->settings().lastFolder);
        QVERIFY(chain.startsWith(QStringLiteral("바탕 화면\\내 컴퓨터\\")));
        QVERIFY(chain.endsWith(QStringLiteral("photos\\")));

        // The pair is written beside the window; once it is in, a refresh
        // lists from it.
        QVERIFY(QTest::qWaitFor([&] { return !list->isSavingCache(); }, 10000));
        f->commands()->action(cmd::kQuickRefresh)->trigger();
        QVERIFY(!list->isLoading()); // from the cache
        f->commands()->action(cmd::kFullRefresh)->trigger();
        QVERIFY(list->isLoading()); // rebuilt
        QVERIFY(QTest::qWaitFor([&] { return !list->isLoading(); }, 10000));
        r.stop();

        r.start();
        QCOMPARE(r.frame()->browseView()->folder(), r.photo("").chopped(1));
        QCOMPARE(r.frame()->leftView()->currentLabelChain(), chain);
        r.stop();
    }

    void listCommandsFollowTheFocusAndTheSelection() {
        Run r;
        r.start();
        CMainFrame* f = r.frame();
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        QVERIFY(f->browseView()->loadFolder(r.photo("")));
        CThumbListCtrl* list = f->browseView()->list();
        CommandTable* c = f->commands();
        QVERIFY(QTest::qWaitFor([&] { return !list->isLoading(); }, 10000));

        list->setFocus();
        list->selectIndex(0); // the parent entry
        c->refresh();
        QVERIFY(!c->action(cmd::kRename)->isEnabled());
        QVERIFY(!c->action(cmd::kViewLarge)->isEnabled());

        list->selectIndex(1); // a folder: rename yes, picture commands no
        c->refresh();
        QVERIFY(c->action(cmd::kRename)->isEnabled());
        QVERIFY(!c->action(cmd::kRotate)->isEnabled());
        QVERIFY(!c->action(cmd::kViewLarge)->isEnabled());

        list->selectIndex(2); // a picture
        c->refresh();
        QVERIFY(c->action(cmd::kViewLarge)->isEnabled());

        // The address box copies its own text.
        f->browseView()->focusAddress();
        c->refresh();
        QVERIFY(c->action(cmd::kCopy)->isEnabled());
        QVERIFY(!c->action(cmd::kCut)->isEnabled());
        r.stop();
    }

    void theEditBarToggleFlipsItsMenuTextAndIsRemembered() {
        Run r;
        r.start({r.photo("a.png").toStdString()});
        CShowFrame* v = r.viewer();
        QVERIFY(v);
        QAction* edit = v->commands()->action(cmd::kEditMode);
        QCOMPARE(edit->text(), QStringLiteral("편집모드\tE"));
        QVERIFY(!v->editBar()->isVisible());
        QCOMPARE(v->editBar()->windowTitle(), QStringLiteral("그림 편집"));
        edit->trigger();
        QVERIFY(v->editBar()->isVisible());
        QCOMPARE(edit->text(), QStringLiteral("편집모드 끄기\tE"));
        r.stop();
        QCOMPARE(r.storedInt(keys::kGeneral, keys::kShowEditBar, -1), 1);
    }
};

QTEST_MAIN(TestFrameCommands)
#include "tst_framecommands.moc"
