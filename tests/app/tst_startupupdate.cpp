// The installed program's start-up check for updates: made at once when the
// program starts with its browser, after the first picture when it starts
// with one (the HTTP library it opens is then no part of the wait for it).
#include "app/programseams.h"
#include "base/settingskeys.h"
#include "tests/app/programrun.h"
#include "update/updatecheck.h"

#include <QtTest>

using namespace kamelo;

namespace {

struct QuietProgramSeams : ProgramSeams {
    QStringList* messages;
    explicit QuietProgramSeams(QStringList* m) : messages(m) {}
    void showMessage(const QString& text) override { messages->append(text); }
};

struct Run : test::ProgramRun {
    void startProgram(std::vector<std::string> args) {
        // No association question: it would wait for an answer.
        preset([](SettingsStore& s) {
            s.setInt(keys::kGeneralLower, keys::kCheckFileAssociation, 1);
        });
        StartupOptions o;
        o.programFolder = dir.file("program");
        std::filesystem::create_directories(o.programFolder);
        o.settingsPath = db();
        o.userDataFolder = dir.file("userdata");
        o.arguments = std::move(args);
        app =
            std::make_unique<CEyeApp>(std::move(o), std::make_unique<QuietProgramSeams>(&messages));
        QVERIFY(app->initInstance());
    }
    update::UpdateCheck* check() const {
        return app->browserFrame()->findChild<update::UpdateCheck*>();
    }
};

} // namespace

class TestStartupUpdate : public QObject {
    Q_OBJECT

private slots:
    void startedWithTheBrowserTheCheckIsMadeAtOnce() {
        Run r;
        r.startProgram({});
        QVERIFY(r.check());
        r.stop();
    }

    void startedWithAPictureTheCheckWaitsForIt() {
        Run r;
        r.startProgram({r.photo("b.png").toStdString()});
        QVERIFY(r.app->viewerFrame());
        QVERIFY(!r.check());
        QTRY_VERIFY_WITH_TIMEOUT(r.check(), 10000);
        QVERIFY(r.app->viewerFrame()->view()->hasPicture());
        r.stop();
    }

    void aPictureThatFailsToLoadStillLetsTheCheckRun() {
        test::ModalWatch watch; // the load's error message
        Run r;
        const std::string broken = r.dir.file("photos/broken.png");
        test::writeFile(broken, "not a picture at all");
        r.startProgram({broken});
        QVERIFY(!r.check());
        QTRY_VERIFY_WITH_TIMEOUT(r.check(), 10000);
        r.stop();
    }
};

QTEST_MAIN(TestStartupUpdate)
#include "tst_startupupdate.moc"
