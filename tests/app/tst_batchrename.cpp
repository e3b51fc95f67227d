// The batch rename driven as people use it: Ctrl+F2 or the item menu on the
// browser's selection, keys typed into the fields, Enter for 확인.
#define QTEST_QPA_MOUSE_HANDLING

#include "app/commandids.h"
#include "base/settingskeys.h"
#include "browser/batchrenamedialog.h"
#include "browser/core/renamejournal.h"
#include "browser/renamepreviewmodel.h"
#include "programrun.h"
#include "resources/qtstrings.h"
#include "tests/support/modalscript.h"
#include "tests/support/testdata.h"

#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTreeView>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <sys/wait.h>

using namespace kamelo;
using namespace kamelo::test;

namespace {

BatchRenameDialog* dialog() {
    return activeModal<BatchRenameDialog>();
}

QStringList column(BatchRenameDialog* d, int c) {
    QStringList out;
    const QAbstractItemModel* m = d->view()->model();
    for (int r = 0; r < m->rowCount(); ++r)
        out << m->index(r, c).data().toString();
    return out;
}

QStringList problems(BatchRenameDialog* d) {
    QStringList out;
    const QAbstractItemModel* m = d->view()->model();
    for (int r = 0; r < m->rowCount(); ++r)
        out << m->index(r, 1).data(RenamePreviewModel::ProblemRole).toString();
    return out;
}

QLineEdit* field(BatchRenameDialog* d, const char* name) {
    return d->findChild<QLineEdit*>(QString::fromLatin1(name));
}

QStringList listNames(const CThumbListCtrl* list) {
    QStringList out;
    for (int i = 0; i < list->itemCount(); ++i)
        out << QString::fromStdString(list->recordAt(i)->displayName);
    return out;
}

// Replaces what the focused field holds, as a user would: select all, type.
void retype(const QString& text) {
    QTest::keyClick(focused(), Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(focused(), Qt::Key_Backspace);
    else
        QTest::keyClicks(focused(), text);
}

// A key for the focused widget from the event loop, after this step: a
// message it opens runs its own loop, in which the next steps must run.
void pressLater(Qt::Key key) {
    QTimer::singleShot(0, qApp, [key] { QTest::keyClick(focused(), key); });
}

} // namespace

class TestBatchRename : public QObject {
    Q_OBJECT
    ScratchDir home_;

private slots:
    void initTestCase() {
        useScratchHome(home_, 240);
        // Dates are shown in local time; one zone keeps the names fixed.
        qputenv("TZ", "KST-9");
        ::tzset();
    }

    void rowsFollowTheListAndEveryKeyUpdatesThePreview() {
        ProgramRun r;
        // Other files listed too, so that the rename has to leave them out.
        r.preset([](SettingsStore& s) { s.setInt(keys::kGeneral, keys::kOnlyPictures, 0); });
        r.start();
        QVERIFY(r.browsePhotos());
        CThumbListCtrl* list = r.list();
        // Clicked out of order, with a folder and a text file among them.
        clickItem(list, r.row("c.png"));
        clickItem(list, r.row("sub"), Qt::ControlModifier);
        clickItem(list, r.row("notes.txt"), Qt::ControlModifier);
        clickItem(list, r.row("a.png"), Qt::ControlModifier);
        QStringList seen;
        Script script({
            {[] { return dialog() != nullptr; },
             [&] {
                 BatchRenameDialog* d = dialog();
                 seen << column(d, 0).join(',') << column(d, 1).join(',');
                 QCOMPARE(focused(), field(d, "prefix"));
                 QTest::keyClick(focused(), Qt::Key_T);
                 seen << column(d, 1).join(',');
                 QTest::keyClicks(focused(), QStringLiteral("rip_"));
                 seen << column(d, 1).join(',');
                 QTest::keyClick(focused(), Qt::Key_Tab); // the mask
                 retype(QStringLiteral("###"));
                 seen << column(d, 1).join(',');
                 QTest::keyClick(focused(), Qt::Key_Tab); // the start number
                 retype(QStringLiteral("9"));
                 seen << column(d, 1).join(',');
                 QTest::keyClick(focused(), Qt::Key_Return);
             }},
        });
        QTest::keyClick(focused(), Qt::Key_F2, Qt::ControlModifier);
        QTRY_VERIFY(script.done());
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(seen, (QStringList{"a.png,c.png", "00.png,01.png", "t00.png,t01.png",
                                    "trip_00.png,trip_01.png", "trip_000.png,trip_001.png",
                                    "trip_009.png,trip_010.png"}));
        QVERIFY(QFileInfo::exists(r.photo("trip_009.png")));
        QVERIFY(QFileInfo::exists(r.photo("trip_010.png")));
        QVERIFY(!QFileInfo::exists(r.photo("a.png")));
        QVERIFY(!QFileInfo::exists(r.photo("c.png")));
        // The records took the new names and the list is in name order again.
        QCOMPARE(listNames(list),
                 (QStringList{"..", "sub", "b.png", "notes.txt", "trip_009.png", "trip_010.png"}));
        QCOMPARE(list->pathAt(r.row("trip_010.png")), r.photo("trip_010.png"));
        r.stop();
    }

    void markedRowsRenameNothingAndTheFirstIsNamed() {
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        CThumbListCtrl* list = r.list();
        clickItem(list, r.row("a.png"));
        clickItem(list, r.row("b.png"), Qt::ControlModifier);
        QStringList marks;
        QString message;
        QString suffixAfterSlash, suffixAfterPaste;
        Script script({
            {[] { return dialog() != nullptr; },
             [&] {
                 BatchRenameDialog* d = dialog();
                 QTest::keyClick(focused(), Qt::Key_Tab);
                 retype(QString()); // no number: both are ".png"
                 marks << column(d, 1).join('|') << problems(d).join('|');
                 QTest::keyClick(focused(), Qt::Key_Tab); // start number
                 QTest::keyClick(focused(), Qt::Key_Tab); // date format
                 QTest::keyClick(focused(), Qt::Key_Tab); // suffix
                 QCOMPARE(focused(), field(d, "suffix"));
                 QTest::keyClicks(focused(), QStringLiteral("x"));
                 marks << problems(d).join('|');
                 // "/" and the other forbidden characters do not go in,
                 // typed or pasted; a paste keeps the rest.
                 QTest::keyClicks(focused(), QStringLiteral("/\\:*?\"<>|"));
                 suffixAfterSlash = field(d, "suffix")->text();
                 QGuiApplication::clipboard()->setText(QStringLiteral("../up"));
                 QTest::keyClick(focused(), Qt::Key_V, Qt::ControlModifier);
                 suffixAfterPaste = field(d, "suffix")->text();
                 pressLater(Qt::Key_Return);
             }},
            {[] { return activeModal<QMessageBox>() != nullptr; },
             [&] {
                 message = activeModal<QMessageBox>()->text();
                 QTest::keyClick(activeModal<QMessageBox>(), Qt::Key_Return);
             }},
            // Still open after the refusal: an unselected file's name.
            {[] { return dialog() != nullptr; },
             [&] {
                 BatchRenameDialog* d = dialog();
                 QTest::mouseClick(field(d, "prefix"), Qt::LeftButton);
                 QCOMPARE(focused(), field(d, "prefix"));
                 QTest::keyClicks(focused(), QStringLiteral("c"));
                 QTest::keyClick(focused(), Qt::Key_Tab);
                 retype(QStringLiteral("#"));
                 QTest::keyClick(focused(), Qt::Key_Tab);
                 retype(QStringLiteral("3"));
                 marks << column(d, 1).join('|') << problems(d).join('|');
                 QTest::keyClick(focused(), Qt::Key_Escape);
             }},
        });
        QTest::keyClick(focused(), Qt::Key_F2, Qt::ControlModifier);
        QTRY_VERIFY(script.done());
        QTRY_VERIFY(!QApplication::activeModalWidget());
        const QString empty = res::qtext(res::IDS_RENAME_PROBLEM_EMPTY_TITLE);
        const QString duplicate = res::qtext(res::IDS_RENAME_PROBLEM_DUPLICATE);
        const QString exists = res::qtext(res::IDS_RENAME_PROBLEM_EXISTS);
        QCOMPARE(marks.size(), 5);
        QCOMPARE(marks[0], QStringLiteral("✗ %1: .png|✗ %1: .png").arg(empty));
        QCOMPARE(marks[1], empty + "|" + empty);
        QCOMPARE(marks[2], duplicate + "|" + duplicate);
        QCOMPARE(suffixAfterSlash, QStringLiteral("x"));
        QCOMPARE(suffixAfterPaste, QStringLiteral("x..up"));
        // The first marked row is named; nothing was renamed.
        QVERIFY2(message.contains(QStringLiteral("'a.png'")), qPrintable(message));
        QVERIFY2(message.contains(duplicate), qPrintable(message));
        QVERIFY(message.contains(res::qtext(res::IDS_RENAME_NOTHING_DONE)));
        // Free names carry no mark.
        QCOMPARE(marks[3], QStringLiteral("c3x..up.png|c4x..up.png"));
        QCOMPARE(marks[4], QStringLiteral("|"));
        for (const char* name : {"a.png", "b.png", "c.png", "notes.txt"})
            QVERIFY(QFileInfo::exists(r.photo(name)));
        QCOMPARE(QDir(r.photo()).entryList(QDir::Files).size(), 4);
        r.stop();
    }

    void aNameTakenByAFileLeftAloneIsMarked() {
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        clickItem(r.list(), r.row("a.png"));
        QStringList marks;
        Script script({
            {[] { return dialog() != nullptr; },
             [&] {
                 BatchRenameDialog* d = dialog();
                 QTest::keyClicks(focused(), QStringLiteral("c"));
                 QTest::keyClick(focused(), Qt::Key_Tab);
                 retype(QString());
                 marks << column(d, 1).join('|') << problems(d).join('|');
                 pressLater(Qt::Key_Return);
             }},
            {[] { return activeModal<QMessageBox>() != nullptr; },
             [&] {
                 marks << activeModal<QMessageBox>()->text();
                 QTest::keyClick(activeModal<QMessageBox>(), Qt::Key_Return);
             }},
            {[] { return dialog() != nullptr; },
             [&] { QTest::keyClick(focused(), Qt::Key_Escape); }},
        });
        QTest::keyClick(focused(), Qt::Key_F2, Qt::ControlModifier);
        QTRY_VERIFY(script.done());
        QTRY_VERIFY(!QApplication::activeModalWidget());
        const QString exists = res::qtext(res::IDS_RENAME_PROBLEM_EXISTS);
        QCOMPARE(marks.size(), 3);
        QCOMPARE(marks[0], QStringLiteral("✗ %1: c.png").arg(exists));
        QCOMPARE(marks[1], exists);
        QVERIFY(marks[2].contains(QStringLiteral("'a.png'")));
        QCOMPARE(test::readFile(r.photo("c.png").toStdString()).size() > 0, true);
        QVERIFY(QFileInfo::exists(r.photo("a.png")));
        r.stop();
    }

    void aFileMadeAfterTheListWasReadStillStopsTheRename() {
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        clickItem(r.list(), r.row("a.png"));
        QStringList marks;
        Script script({
            {[] { return dialog() != nullptr; },
             [&] {
                 BatchRenameDialog* d = dialog();
                 QTest::keyClicks(focused(), QStringLiteral("z"));
                 QTest::keyClick(focused(), Qt::Key_Tab);
                 retype(QString());
                 marks << column(d, 1).join('|');
                 // Another program takes the name while the dialog is open:
                 // the preview keeps the folder as read, 확인 reads it again.
                 test::writeFile(r.photo("z.png").toStdString(), "other");
                 QTest::keyClicks(focused(), QStringLiteral("#"));
                 QTest::keyClick(focused(), Qt::Key_Backspace);
                 marks << problems(d).join('|');
                 pressLater(Qt::Key_Return);
             }},
            {[] { return activeModal<QMessageBox>() != nullptr; },
             [&] {
                 marks << activeModal<QMessageBox>()->text();
                 QTest::keyClick(activeModal<QMessageBox>(), Qt::Key_Return);
             }},
            {[] { return dialog() != nullptr; },
             [&] {
                 // After the refusal the preview shows the folder as it is now.
                 marks << problems(dialog()).join('|');
                 QTest::keyClick(focused(), Qt::Key_Escape);
             }},
        });
        QTest::keyClick(focused(), Qt::Key_F2, Qt::ControlModifier);
        QTRY_VERIFY(script.done());
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(marks.size(), 4);
        QCOMPARE(marks[0], QStringLiteral("z.png"));
        QCOMPARE(marks[1], QString());
        QVERIFY(marks[2].contains(QStringLiteral("'a.png'")));
        QCOMPARE(marks[3], res::qtext(res::IDS_RENAME_PROBLEM_EXISTS));
        QCOMPARE(test::readFile(r.photo("z.png").toStdString()), std::string("other"));
        QVERIFY(QFileInfo::exists(r.photo("a.png")));
        r.stop();
    }

    void theItemMenuOpensItToo() {
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        CThumbListCtrl* list = r.list();
        clickItem(list, r.row("b.png"));
        QAbstractItemView* v = list->currentView();
        const QRect at = v->visualRect(list->model()->index(r.row("b.png"), 0));
        QTest::mouseClick(v->viewport(), Qt::RightButton, {}, at.center());
        auto* menu = r.frame()->findChild<QMenu*>(QStringLiteral("context file 00"));
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        QAction* batch = nullptr;
        for (QAction* a : menu->actions())
            if (a->data().toInt() == cmd::kContextBatchRename)
                batch = a;
        QVERIFY(batch);
        QVERIFY(batch->isEnabled());
        QStringList rows;
        Script script({
            {[] { return dialog() != nullptr; },
             [&] {
                 rows = column(dialog(), 0);
                 QTest::keyClicks(focused(), QStringLiteral("menu"));
                 QTest::keyClick(focused(), Qt::Key_Return);
             }},
        });
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(batch).center());
        QTRY_VERIFY(script.done());
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(rows, QStringList{"b.png"});
        QVERIFY(QFileInfo::exists(r.photo("menu00.png")));
        QVERIFY(listNames(list).contains(QStringLiteral("menu00.png")));
        r.stop();
    }

    void anInterruptedRenameIsUndoneWhenTheFolderIsOpened() {
        ProgramRun r;
        // A rename of a.png and b.png killed after its first step.
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv(RenameJournal::kStopAfterVariable, "1", 1);
            const RenamePlan plan({{r.photo("a.png").toStdString(), "x0.png"},
                                   {r.photo("b.png").toStdString(), "x1.png"}});
            RenameJournal::apply(plan);
            ::_exit(0);
        }
        int status = 0;
        QVERIFY(pid > 0 && ::waitpid(pid, &status, WUNTRACED) == pid);
        QVERIFY(WIFSTOPPED(status));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        QCOMPARE(QFileInfo::exists(r.photo("a.png")) + QFileInfo::exists(r.photo("b.png")), 1);

        r.start();
        QString notice;
        Script script({
            {[] { return activeModal<QMessageBox>() != nullptr; },
             [&] {
                 notice = activeModal<QMessageBox>()->text();
                 QTest::keyClick(activeModal<QMessageBox>(), Qt::Key_Return);
             }},
        });
        QVERIFY(r.browsePhotos());
        QTRY_VERIFY(script.done());
        QVERIFY(notice.contains(QStringLiteral("파일 1개를 원래 이름으로 되돌렸습니다")));
        QCOMPARE(listNames(r.list()), (QStringList{"..", "sub", "a.png", "b.png", "c.png"}));
        QVERIFY(!QFileInfo::exists(r.photo(RenameJournal::kFileName)));
        r.stop();
    }

    void theDateComesFromTheFileInDetailsView() {
        if (testDataDir().empty())
            QSKIP("sample pictures not found; set KAMELO_TESTDATA");
        ProgramRun r;
        // 2008:05:30 15:56:01 in the camera's time.
        std::filesystem::copy_file(testDataFile("camera/Canon_40D.jpg"),
                                   r.dir.file("photos/d.jpg"));
        r.preset([](SettingsStore& s) { s.setInt(keys::kGeneral, keys::kBrowserModeViewType, 1); });
        r.start();
        QVERIFY(r.browsePhotos());
        CThumbListCtrl* list = r.list();
        QCOMPARE(list->viewType(), 1);
        const int row = r.row("d.jpg");
        QCOMPARE(list->recordAt(row)->dateTakenKnown, 0);
        clickItem(list, r.row("a.png"));
        clickItem(list, row, Qt::ControlModifier);
        QStringList seen;
        Script script({
            {[] { return dialog() != nullptr; },
             [&] {
                 BatchRenameDialog* d = dialog();
                 QTest::keyClicks(focused(), QStringLiteral("p"));
                 for (int i = 0; i < 3; ++i)
                     QTest::keyClick(focused(), Qt::Key_Tab);
                 QCOMPARE(focused(), d->findChild<QComboBox*>(QStringLiteral("dateFormat")));
                 seen << column(d, 1).join('|');
                 for (int i = 0; i < 4; ++i) {
                     QTest::keyClick(focused(), Qt::Key_Down);
                     seen << column(d, 1).join('|');
                 }
                 QTest::keyClick(focused(), Qt::Key_Up);
                 QTest::keyClick(focused(), Qt::Key_Tab);
                 QTest::keyClick(focused(), Qt::Key_Return);
             }},
        });
        QTest::keyClick(focused(), Qt::Key_F2, Qt::ControlModifier);
        QTRY_VERIFY(script.done());
        QTRY_VERIFY(!QApplication::activeModalWidget());
        // A picture without a date (the PNG) gets no date part.
        QCOMPARE(seen, (QStringList{"p00.png|p01.jpg", "p00.png|p012008-05-30 15-56-01.jpg",
                                    "p00.png|p012008_05_30 15_56_01.jpg",
                                    "p00.png|p012008-05-30.jpg", "p00.png|p012008_05_30.jpg"}));
        QVERIFY(QFileInfo::exists(r.photo("p012008-05-30.jpg")));
        QVERIFY(QFileInfo::exists(r.photo("p00.png")));
        QVERIFY(listNames(list).contains(QStringLiteral("p012008-05-30.jpg")));
        r.stop();
    }
};

QTEST_MAIN(TestBatchRename)
#include "tst_batchrename.moc"
