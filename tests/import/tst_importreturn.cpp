// Back in the browser after the import wizard: at the folder the run made,
// with the keyboard in the browser.
#include "app/eyeapp.h"
#include "app/frameseams.h"
#include "app/mainframe.h"
#include "browser/browseview.h"
#include "browser/leftview.h"
#include "browser/thumblistctrl.h"
#include "import/acquirewizard.h"
#include "tests/support/modalscript.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QtTest>

#include <filesystem>

using namespace kamelo;
using kamelo::test::activeModal;
using kamelo::test::ScratchDir;
using kamelo::test::Script;
namespace fs = std::filesystem;

namespace {
struct TestSeams : FrameSeams {
    void showMessage(const QString&) override {}
};
} // namespace

class TestImportReturn : public QObject {
    Q_OBJECT
    ScratchDir home_;

private slots:
    void initTestCase() {
        qputenv("HOME", QByteArray::fromStdString(home_.path()));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home_.file("data")));
        fs::create_directories(home_.file("Pictures/old"));
    }

    void theTreeGoesToAFolderMadeAfterItsParentWasRead() {
        CLeftView tree;
        QVERIFY(tree.selectPath(QString::fromStdString(home_.file("Pictures"))));
        const QString made = QString::fromStdString(home_.file("Pictures/2026-01-02/trip"));
        fs::create_directories(made.toStdString());
        QSignalSpy selected(&tree, &CLeftView::folderSelected);
        QVERIFY(tree.selectPath(made));
        QCOMPARE(tree.currentFolder(), made);
        QCOMPARE(selected.last().at(0).toString(), made);
        QVERIFY(!tree.selectPath(QString::fromStdString(home_.file("Pictures/none"))));
    }

    void theKeyboardIsBackInTheBrowserWhenTheWizardCloses() {
        kamelo::test::Watchdog dog(60);
        ScratchDir dir;
        StartupOptions o;
        o.programFolder = dir.file("program");
        fs::create_directories(o.programFolder);
        o.settingsPath = dir.file("config/Kamelo.sqlite");
        o.userDataFolder = dir.file("userdata");
        auto app = std::make_unique<CEyeApp>(std::move(o), std::make_unique<TestSeams>());
        QVERIFY(app->initInstance());
        CMainFrame* frame = app->mainFrame();
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        Script script(
            {{[] { return activeModal<acquire::CAcquireWizard>() != nullptr; },
              [] { QTest::keyClick(activeModal<acquire::CAcquireWizard>(), Qt::Key_Escape); }}});
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(script.done(), 20000);
        // The list or the view inside it, whichever takes the keys.
        QWidget* list = frame->browseView()->list();
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::focusWidget() &&
                                     (QApplication::focusWidget() == list ||
                                      list->isAncestorOf(QApplication::focusWidget())),
                                 5000);
        frame->close();
        QCoreApplication::processEvents();
        app->exitInstance(0);
    }
};

QTEST_MAIN(TestImportReturn)
#include "tst_importreturn.moc"
