// The browser driven as people use it: keys sent to the focused widget
// through the shortcut and focus system, mouse presses and moves through
// the window, menus opened from the keyboard.
#define QTEST_QPA_MOUSE_HANDLING

#include "app/commandids.h"
#include "app/commandtable.h"
#include "browser/infoview.h"
#include "browser/leftview.h"
#include "browser/shelltreemodel.h"
#include "platform/fileclipboard.h"
#include "programrun.h"
#include "tests/support/modalscript.h"

#include <QComboBox>
#include <QDrag>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace kamelo;
using namespace kamelo::test;

namespace {

// Notes the first drag that starts anywhere: its source and its files.
class DragWatch : public QObject {
public:
    DragWatch() { qApp->installEventFilter(this); }
    ~DragWatch() override { qApp->removeEventFilter(this); }
    QObject* source = nullptr;
    QStringList paths;

protected:
    bool eventFilter(QObject* watched, QEvent*) override {
        if (auto* drag = qobject_cast<QDrag*>(watched); drag && !source) {
            source = drag->source();
            if (drag->mimeData())
                paths = FileClipboard::read(drag->mimeData()).paths;
        }
        return false;
    }
};

QMenu* barMenu(QMainWindow* frame, int position) {
    return frame->menuBar()->actions().value(position)->menu();
}

bool enabled(CMainFrame* f, int id) {
    return f->commands()->action(id)->isEnabled();
}

} // namespace

class TestBrowserInput : public QObject {
    Q_OBJECT
    ScratchDir home_;

private slots:
    void initTestCase() { useScratchHome(home_, 240); }

    void enterAfterALabelEditOnlyCommitsTheName() {
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        clickItem(r.list(), r.row("a.png"));
        QTest::keyClick(focused(), Qt::Key_F2);
        QTRY_VERIFY(qobject_cast<QLineEdit*>(focused()));
        QVERIFY(r.list()->isAncestorOf(focused()));
        QTest::keyClick(focused(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(focused(), QStringLiteral("renamed"));
        QTest::keyClick(focused(), Qt::Key_Return);
        QTRY_VERIFY(QFileInfo::exists(r.photo("renamed.png")));
        QVERIFY(!QFileInfo::exists(r.photo("a.png")));
        QCoreApplication::processEvents();
        QVERIFY(!r.app->viewerFrame());
        QVERIFY(r.frame()->isVisible());
        r.stop();
    }

    void enterInTheAddressBoxGoesToTheTypedFolder() {
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        clickItem(r.list(), r.row("b.png"));
        QTest::keyClick(focused(), Qt::Key_D, Qt::AltModifier);
        QLineEdit* edit = r.frame()->browseView()->addressBox()->lineEdit();
        QTRY_COMPARE(focused(), r.frame()->browseView()->addressBox());
        QTest::keyClicks(focused(), r.photo("sub"));
        QCOMPARE(edit->text(), r.photo("sub"));
        QTest::keyClick(focused(), Qt::Key_Return);
        QTRY_COMPARE(r.frame()->browseView()->folder(), r.photo("sub"));
        QVERIFY(!r.app->viewerFrame());
        r.stop();
    }

    void menusOpenedFromTheKeyboardUseTheListsFocus() {
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        CMainFrame* f = r.frame();
        clickItem(r.list(), r.row("b.png"));
        QTest::keyClick(focused(), Qt::Key_F, Qt::AltModifier);
        QMenu* file = barMenu(f, 0);
        QTRY_VERIFY(file->isVisible());
        QVERIFY(enabled(f, cmd::kDelete));
        QVERIFY(enabled(f, cmd::kExif));
        QVERIFY(enabled(f, cmd::kViewLarge));
        // Esc closes the menu, the bar keeps the keyboard; the next menu too.
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!file->isVisible());
        QTest::keyClick(focused(), Qt::Key_E, Qt::AltModifier);
        QMenu* edit = barMenu(f, 1);
        QTRY_VERIFY(edit->isVisible());
        QVERIFY(enabled(f, cmd::kCut));
        QVERIFY(enabled(f, cmd::kCopy));
        QVERIFY(enabled(f, cmd::kRename));
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!edit->isVisible());
        r.stop();
    }

    void ctrlFConvertsTheSelectionAndListsTheFolderAgain() {
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        clickItem(r.list(), r.row("b.png"));
        bool logged = false;
        Script script({
            // The format list has the focus; Home picks BMP.
            {[] { return activeModal() && activeModal()->objectName() == "convertFormat"; },
             [] {
                 QTest::keyClick(focused(), Qt::Key_Home);
                 QTest::keyClick(focused(), Qt::Key_Return);
             }},
            {[] {
                 QWidget* d = activeModal();
                 return d && d->objectName() == "batchProgress" &&
                        d->findChild<QPlainTextEdit*>()->toPlainText().contains(
                            QString::fromUtf8("완료"));
             },
             [&] {
                 logged = true;
                 QTest::keyClick(focused(), Qt::Key_Escape);
             }},
        });
        QTest::keyClick(focused(), Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(script.done());
        QVERIFY(logged);
        QVERIFY(QFileInfo::exists(r.photo("b.BMP")));
        // The run's end lists the folder again, with the new file in it.
        QTRY_VERIFY(r.row("b.BMP") > 0);
        r.stop();
    }

    void ctrlF5StoresANewPairAndDeletesTheOldOne() {
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        const std::string cache = r.app->cacheFolder();
        auto pairs = [&] {
            QStringList bases;
            for (const auto& e : std::filesystem::directory_iterator(cache))
                if (e.path().extension() == ".lis" || e.path().extension() == ".cac")
                    bases << QString::fromStdString(e.path().stem().string());
            bases.removeDuplicates();
            return bases;
        };
        QTRY_COMPARE(pairs().size(), 1);
        const QStringList before = pairs();
        clickItem(r.list(), r.row("a.png"));
        QTest::keyClick(focused(), Qt::Key_F5, Qt::ControlModifier);
        QTRY_VERIFY(pairs() != before && !r.list()->isLoading());
        QCOMPARE(pairs().size(), 1);
        r.stop();
    }

    void thumbnailsAreDraggedAndDroppedOnFolders() {
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        CThumbListCtrl* list = r.list();
        QCOMPARE(list->viewType(), 0);
        QListView* icons = list->iconView();
        clickItem(list, r.row("a.png"));
        const QPoint from = icons->visualRect(list->model()->index(r.row("a.png"), 0)).center();
        DragWatch watch;
        QTest::mousePress(icons->viewport(), Qt::LeftButton, {}, from);
        for (int step = 1; step <= 4; ++step)
            QTest::mouseMove(icons->viewport(), from + QPoint(12 * step, 9 * step));
        QTest::mouseRelease(icons->viewport(), Qt::LeftButton, {}, from + QPoint(48, 36));
        // The drag offered the selected file (it ends at once without a
        // drop target on this platform).
        QVERIFY2(watch.source == icons, "no drag started from the thumbnail view");
        QCOMPARE(watch.paths, QStringList{r.photo("a.png")});

        // Dropped on the folder item, a file moves into it.
        QVERIFY(icons->viewport()->acceptDrops());
        const QPoint onSub = icons->visualRect(list->model()->index(r.row("sub"), 0)).center();
        QMimeData* data = FileClipboard::make({r.photo("b.png")}, false);
        QDragEnterEvent enter(onSub, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(icons->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDragMoveEvent move(onSub, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(icons->viewport(), &move);
        QCOMPARE(move.dropAction(), Qt::MoveAction);
        QDropEvent drop(onSub, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(icons->viewport(), &drop);
        QTRY_VERIFY(QFileInfo::exists(r.photo("sub/b.png")));
        QVERIFY(!QFileInfo::exists(r.photo("b.png")));
        delete data;
        r.stop();
    }

    void returningFromTheViewerFollowsTheShownPicture() {
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        CMainFrame* f = r.frame();
        CThumbListCtrl* list = r.list();
        clickItem(list, r.row("a.png"));
        QTRY_COMPARE(f->infoView()->shownPath(), r.photo("a.png"));
        QTest::keyClick(focused(), Qt::Key_Return);
        CShowFrame* v = r.viewer();
        QVERIFY(v);
        QVERIFY(QTest::qWaitForWindowActive(v));
        QTest::keyClick(focused(), Qt::Key_Space);
        QTRY_COMPARE(v->view()->currentPath(), r.photo("b.png"));
        QTest::keyClick(focused(), Qt::Key_Return);
        QTRY_VERIFY(!r.app->viewerFrame());
        QVERIFY(f->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(f));
        QCOMPARE(list->pathAt(list->firstSelectedIndex()), r.photo("b.png"));
        QTRY_COMPARE(focused(), list->currentView());
        QTRY_COMPARE(f->infoView()->shownPath(), r.photo("b.png"));
        QVERIFY(enabled(f, cmd::kExif));
        QVERIFY(enabled(f, cmd::kDelete));
        QVERIFY(enabled(f, cmd::kViewLarge));
        // Backspace goes to the parent folder (not into the address box).
        QTest::keyClick(focused(), Qt::Key_Backspace);
        QTRY_COMPARE(f->browseView()->folder(), QFileInfo(r.photo()).absolutePath());
        r.stop();
    }

    void returningToABrowserStartedWithAPictureRenamesInTheList() {
        ProgramRun r;
        r.start({r.photo("c.png").toStdString()});
        CShowFrame* v = r.viewer();
        QVERIFY(v);
        QVERIFY(QTest::qWaitForWindowActive(v));
        QTest::keyClick(focused(), Qt::Key_Return);
        QTRY_VERIFY(!r.app->viewerFrame());
        CMainFrame* f = r.frame();
        QVERIFY(QTest::qWaitForWindowActive(f));
        QTRY_COMPARE(focused(), r.list()->currentView());
        QTRY_COMPARE(f->infoView()->shownPath(), r.photo("c.png"));
        QTest::keyClick(focused(), Qt::Key_F2);
        QTRY_VERIFY(qobject_cast<QLineEdit*>(focused()));
        QVERIFY(r.list()->isAncestorOf(focused()));
        QCOMPARE(qobject_cast<QLineEdit*>(focused())->text(), QStringLiteral("c"));
        QTest::keyClick(focused(), Qt::Key_Escape);
        r.stop();
    }

    void aRightClickInTheTreeNeitherSelectsNorLists() {
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        CMainFrame* f = r.frame();
        CLeftView* tree = f->leftView();
        QCOMPARE(tree->currentFolder(), r.photo());
        const QModelIndex photos = tree->currentIndex();
        tree->expand(photos);
        QModelIndex sub;
        QTRY_VERIFY((sub = tree->shellModel()->indexForPath(r.photo("sub"))).isValid());
        tree->scrollTo(sub);
        const QPoint at = tree->visualRect(sub).center();
        QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, at);
        QTRY_VERIFY(tree->contextMenu()->isVisible());
        QCOMPARE(tree->currentIndex(), photos);
        QCOMPARE(f->browseView()->folder(), r.photo());
        // The menu works on the item it was opened on: 새 폴더 goes into sub.
        tree->setNameAsker([] { return QStringLiteral("made"); });
        QAction* made = nullptr;
        for (QAction* a : tree->contextMenu()->actions())
            if (a->data().toInt() == CLeftView::kNewFolder)
                made = a;
        QVERIFY(made);
        QTest::mouseClick(tree->contextMenu(), Qt::LeftButton, {},
                          tree->contextMenu()->actionGeometry(made).center());
        QTRY_VERIFY(QFileInfo(r.photo("sub/made")).isDir());
        QCOMPARE(tree->currentIndex(), photos);
        r.stop();
    }

    void theParentEntryHasNoCameraInformation() {
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        CMainFrame* f = r.frame();
        clickItem(r.list(), r.row("a.png"));
        QVERIFY(enabled(f, cmd::kExif));
        QTest::keyClick(focused(), Qt::Key_Home);
        QTRY_COMPARE(r.list()->firstSelectedIndex(), 0);
        QVERIFY(!enabled(f, cmd::kExif));
        ModalWatch watch;
        QTest::keyClick(focused(), Qt::Key_E, Qt::ControlModifier);
        QCoreApplication::processEvents();
        QCOMPARE(watch.seen, 0);
        // The file menu shows it disabled too.
        QTest::keyClick(focused(), Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(barMenu(f, 0)->isVisible());
        QVERIFY(!enabled(f, cmd::kExif));
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        r.stop();
    }
};

QTEST_MAIN(TestBrowserInput)
#include "tst_browserinput.moc"
