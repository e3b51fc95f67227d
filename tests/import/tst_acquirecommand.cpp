#include "app/eyeapp.h"
#include "app/frameseams.h"
#include "app/mainframe.h"
#include "import/acquirewizard.h"
#include "resources/qtstrings.h"
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

namespace {
struct TestSeams : FrameSeams {
    void showMessage(const QString&) override {}
};
} // namespace

// Ctrl+Q in the browser opens the import wizard; Cancel closes it.
class TestAcquireCommand : public QObject {
    Q_OBJECT
    ScratchDir home_;

private slots:
    void initTestCase() {
        qputenv("HOME", QByteArray::fromStdString(home_.path()));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home_.file("data")));
    }

    void ctrlQOpensTheWizard() {
        kamelo::test::Watchdog dog(60);
        ScratchDir dir;
        StartupOptions o;
        o.programFolder = dir.file("program");
        std::filesystem::create_directories(o.programFolder);
        o.settingsPath = dir.file("config/Kamelo.sqlite");
        o.userDataFolder = dir.file("userdata");
        auto app = std::make_unique<CEyeApp>(std::move(o), std::make_unique<TestSeams>());
        QVERIFY(app->initInstance());
        CMainFrame* frame = app->mainFrame();
        QVERIFY(frame);
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QString title;
        Script script({{[] { return activeModal<acquire::CAcquireWizard>() != nullptr; },
                        [&title] {
                            auto* w = activeModal<acquire::CAcquireWizard>();
                            title = w->windowTitle();
                            QTest::mouseClick(w->button(QWizard::CancelButton), Qt::LeftButton);
                        }}});
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        QTest::keyClick(focus, Qt::Key_Q, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(script.done(), 20000);
        QCOMPARE(title, res::qtext(res::IDS_ACQUIRE_CAPTION));
        QVERIFY(!QApplication::activeModalWidget());
        frame->close();
        QCoreApplication::processEvents();
        app->exitInstance(0);
    }
};

QTEST_MAIN(TestAcquireCommand)
#include "tst_acquirecommand.moc"
