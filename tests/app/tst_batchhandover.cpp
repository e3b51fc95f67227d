// A batch edit handed from the browser to the viewer's edit panel and back,
// started with the real shortcut; the panel's side is played by the test.
#define QTEST_QPA_MOUSE_HANDLING

#include "app/commandids.h"
#include "app/commandtable.h"
#include "edit/batchhandover.h"
#include "imaging/picturefile.h"
#include "programrun.h"
#include "resources/stringtable.h"
#include "tests/support/modalscript.h"

#include <QDockWidget>
#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>

using namespace kamelo;
using namespace kamelo::test;

namespace {

// A test tool: each file's record says how many columns to paint black.
void registerTestRotate() {
    edit::BatchOperation op;
    op.titleId = res::IDS_ROTATE_TITLE;
    op.newRecord = [] { return std::any(0); };
    op.step = [](imaging::Bitmap& b, const std::any* record, std::string&) {
        const int columns = std::any_cast<int>(*record);
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < columns && x < b.width(); ++x)
                b.setPixel(x, y, 0);
        return 1;
    };
    edit::BatchHandOver::registerOperation(edit::EditTool::Rotate, op);
}

} // namespace

class TestBatchHandOver : public QObject {
    Q_OBJECT
    ScratchDir home_;

private slots:
    void initTestCase() { useScratchHome(home_, 120); }

    void toolsWithoutAnOperationStayDisabled() {
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        clickItem(r.list(), r.row("a.png"));
        r.frame()->commands()->refresh();
        // The colour and frame tools register their runs at start-up; the
        // rotate tool is registered by main(), so here it has none.
        QVERIFY(r.frame()->commands()->action(cmd::kColour)->isEnabled());
        QVERIFY(r.frame()->commands()->action(cmd::kFrameDecoration)->isEnabled());
        QVERIFY(!r.frame()->commands()->action(cmd::kRotate)->isEnabled());
        QTest::keyClick(focused(), Qt::Key_J, Qt::ControlModifier);
        QCoreApplication::processEvents();
        QVERIFY(!r.app->viewerFrame());
        r.stop();
    }

    void theSelectionGoesToThePanelAndItsRecordsComeBack() {
        registerTestRotate();
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        clickItem(r.list(), r.row("a.png"));
        clickItem(r.list(), r.row("c.png"), Qt::ControlModifier);
        QTRY_COMPARE(r.list()->selectedIndexes().size(), 2);
        edit::BatchHandOver& handOver = r.app->batchHandOver();
        int panelFiles = 0;
        connect(&handOver, &edit::BatchHandOver::panelRequested, this,
                [&](edit::EditTool, int files) { panelFiles = files; });

        QTest::keyClick(focused(), Qt::Key_J, Qt::ControlModifier);
        CShowFrame* v = r.viewer();
        QVERIFY(v);
        QCOMPARE(QString::fromStdString(r.app->doc().list().currentPath()), r.photo("a.png"));
        QVERIFY(r.frame()->isVisible());
        QVERIFY(!r.frame()->isEnabled());
        QVERIFY(v->editBar()->isVisible());
        QCOMPARE(panelFiles, 2);
        QVERIFY(handOver.active());
        QCOMPARE(handOver.paths(), (std::vector<std::string>{r.photo("a.png").toStdString(),
                                                             r.photo("c.png").toStdString()}));
        QCOMPARE(std::any_cast<int>(handOver.records()[1]), 0);

        // The panel fills one record per file and hands the batch back.
        Script script({
            {[] {
                 QWidget* d = activeModal();
                 return d && d->objectName() == "batchProgress" &&
                        d->findChild<QPlainTextEdit*>()->toPlainText().contains(
                            QString::fromUtf8("완료"));
             },
             [] { QTest::keyClick(focused(), Qt::Key_Return); }},
        });
        const QString out = r.photo("rotated");
        handOver.confirm({std::any(5), std::any(40)}, edit::DestinationMode::Folder,
                         out.toStdString());
        QVERIFY(script.done());
        QTRY_VERIFY(!r.app->viewerFrame());
        QVERIFY(r.frame()->isEnabled());
        QVERIFY(!handOver.active());
        imaging::Bitmap a, c;
        QCOMPARE(imaging::PictureFile::load((out + "/a.png").toStdString(), a), 1);
        QCOMPARE(imaging::PictureFile::load((out + "/c.png").toStdString(), c), 1);
        // Each file got its own record: 5 black columns in a, all 40 in c.
        QCOMPARE(a.pixel(4, 10), 0u);
        QVERIFY(a.pixel(5, 10) != 0u);
        QCOMPARE(c.pixel(39, 29), 0u);
        // The run's end listed the folder again.
        QTRY_VERIFY(r.row("rotated") > 0);
        r.stop();
    }

    void theViewerConvertsTheShownPictureBesideItsFile() {
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        // Another file of the chosen name is already there.
        writeFile(r.photo("a.BMP").toStdString(), "keep me");
        r.list()->selectIndex(r.row("a.png"));
        r.list()->currentView()->setFocus();
        QTest::keyClick(focused(), Qt::Key_Return);
        CShowFrame* v = r.viewer();
        QVERIFY(v);
        QVERIFY(QTest::qWaitForWindowActive(v));
        auto convertDialog = [] {
            QWidget* d = activeModal();
            return d && d->objectName() == "convertFormat";
        };
        bool asked = false;
        Script declined({
            {convertDialog,
             [] {
                 QTest::keyClick(focused(), Qt::Key_Home); // BMP
                 QTest::keyClick(focused(), Qt::Key_Return);
             }},
            // Asked before the other file is replaced: Escape keeps it.
            {[] { return activeModal<QMessageBox>(); },
             [&] {
                 asked = true;
                 QTest::keyClick(focused(), Qt::Key_Escape);
             }},
        });
        QTest::keyClick(focused(), Qt::Key_F);
        QTRY_VERIFY(declined.done());
        QVERIFY(asked);
        QCOMPARE(readFile(r.photo("a.BMP").toStdString()), std::string("keep me"));
        // The window manager gives the viewer the keyboard back.
        v->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(v));
        QTRY_VERIFY(focused());

        Script toJpg({
            {convertDialog,
             [] {
                 QTest::keyClick(focused(), Qt::Key_Home);
                 QTest::keyClick(focused(), Qt::Key_Down); // JPG
                 QTest::keyClick(focused(), Qt::Key_Return);
             }},
        });
        QTest::keyClick(focused(), Qt::Key_F);
        QTRY_VERIFY(toJpg.done());
        imaging::FileInfo info;
        QTRY_COMPARE(imaging::PictureFile::readInfo(r.photo("a.JPG").toStdString(), info), 1);
        QCOMPARE(info.format, imaging::PictureFormat::Jpeg);
        QCOMPARE(info.width, 40);
        r.stop();
    }

    void closingTheViewerGivesTheBrowserBack() {
        registerTestRotate();
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        clickItem(r.list(), r.row("b.png"));
        QTest::keyClick(focused(), Qt::Key_J, Qt::ControlModifier);
        CShowFrame* v = r.viewer();
        QVERIFY(v);
        QVERIFY(!r.frame()->isEnabled());
        v->close();
        QTRY_VERIFY(!r.app->viewerFrame());
        QVERIFY(r.frame()->isEnabled());
        QVERIFY(r.frame()->isVisible());
        QVERIFY(!r.app->batchHandOver().active());
        r.stop();
    }
};

QTEST_MAIN(TestBatchHandOver)
#include "tst_batchhandover.moc"
