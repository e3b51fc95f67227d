#include "app/eyeapp.h"
#include "app/eyeappseams.h"
#include "base/settingsstore.h"
#include "tests/support/scratchdir.h"
#include "tests/support/settingslocker.h"
#include "tests/support/watchdog.h"

#include <QMainWindow>
#include <QtTest>

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>
#include <unistd.h>

using namespace kamelo;
using kamelo::test::ScratchDir;

using kamelo::test::SettingsLocker;

using kamelo::test::Watchdog;

namespace {

// Records what start-up asked of the frames, update client and associations.
struct RecordingSeams : BasicEyeAppSeams {
    QStringList messages;
    QList<QPair<int, int>> viewerOpens;
    int updateChecks = 0;
    int associationChecks = 0;
    int updateResult = 0;

    void openViewer(CEyeApp&, int hideBrowser, int openFlag) override {
        viewerOpens.append({hideBrowser, openFlag});
    }
    int runStartupUpdateCheck(CEyeApp&, bool testConnection, bool throttle) override {
        ++updateChecks;
        Q_ASSERT(testConnection && throttle);
        return updateResult;
    }
    void runFileAssociationCheck(CEyeApp&) override { ++associationChecks; }
    void showMessage(const QString& text) override { messages.append(text); }
};

struct Run {
    ScratchDir dir;
    RecordingSeams* seams = new RecordingSeams;
    std::unique_ptr<CEyeApp> app;
    int settingsRetryMs = 3000;

    std::string db() const { return dir.file("config/Halvern/Kamelo.sqlite"); }
    void start(std::vector<std::string> args = {}) {
        StartupOptions o;
        o.programFolder = dir.file("program");
        std::filesystem::create_directories(o.programFolder);
        o.settingsPath = db();
        o.userDataFolder = dir.file("userdata");
        o.arguments = std::move(args);
        o.settingsRetryMs = settingsRetryMs;
        app = std::make_unique<CEyeApp>(std::move(o), std::unique_ptr<EyeAppSeams>(seams));
    }
};

bool anyDamagedCopy(const std::string& db) {
    for (const auto& e :
         std::filesystem::directory_iterator(std::filesystem::path(db).parent_path()))
        if (e.path().filename().string().find(".damaged-") != std::string::npos)
            return true;
    return false;
}

} // namespace

class TestEyeApp : public QObject {
    Q_OBJECT
private slots:
    void firstRunShowsTheMainWindowAndSavesTheSettingsAtExit() {
        Run r;
        r.start();
        QVERIFY(r.app->initInstance());
        QVERIFY(r.app->browserFrame());
        QCOMPARE(r.app->browserFrame()->windowTitle(), QStringLiteral("Kamelo"));
        QVERIFY(r.app->browserFrame()->isVisible());
        QVERIFY(r.seams->messages.isEmpty());
        QCOMPARE(r.app->openedWithFile(), 0);
        QVERIFY(uiSettings() == &r.app->settings());
        QCOMPARE(r.app->settings().thumbWidth, 120);
        QVERIFY(std::filesystem::is_directory(r.dir.file("program/skin")));
        QCOMPARE(QString::fromStdString(r.app->cacheFolder()),
                 QString::fromStdString(r.dir.file("program/data/cache")));
        QCOMPARE(QString::fromStdString(r.app->tempFolder()),
                 QString::fromStdString(r.dir.file("program/data/temp")));
        QVERIFY(r.app->cacheWasInvalidated()); // no "Cache File Version" yet
        QCOMPARE(r.seams->updateChecks, 1);
        QCOMPARE(r.seams->associationChecks, 1);

        r.app->settings().thumbWidth = 150;
        r.app->exitInstance(0);
        QVERIFY(uiSettings() == nullptr);
        SettingsStore after(r.db());
        QCOMPARE(after.getInt("Thumb", "Thumb Width", 0), 150);
        QCOMPARE(after.getInt("General", "Sort Ascend", 0), 1);
        QVERIFY(after.getBinary("UI settings", "Horz Split Ratio").has_value());
        delete r.app->browserFrame();
    }

    void aPictureOnTheCommandLineOpensTheViewerWithTheBrowserHidden() {
        Run r;
        kamelo::test::writeFile(r.dir.file("my photos/a b.jpg"), "\xff\xd8");
        r.start({"\"" + r.dir.file("my photos/a b.jpg") + "\""});
        QVERIFY(r.app->initInstance());
        QCOMPARE(QString::fromStdString(r.app->commandLinePicture()),
                 QString::fromStdString(r.dir.file("my photos/a b.jpg")));
        QCOMPARE(r.app->openedWithFile(), 1);
        QCOMPARE(r.seams->viewerOpens.size(), 1);
        QCOMPARE(r.seams->viewerOpens[0], qMakePair(1, 1));
        QVERIFY(!r.app->browserFrame()->isVisible());
        delete r.app->browserFrame();
    }

    void aPictureThatCannotBeOpenedEndsTheProgramWithAMessage() {
        for (const char* name : {"missing.jpg", "a folder"}) {
            Run r;
            std::filesystem::create_directories(r.dir.file("a folder"));
            r.start({r.dir.file(name)});
            QVERIFY(!r.app->initInstance());
            QCOMPARE(r.seams->messages.size(), 1);
            QVERIFY(r.seams->messages[0].contains(QString::fromStdString(r.dir.file(name))));
            QVERIFY(r.seams->viewerOpens.isEmpty());
            QCOMPARE(r.seams->updateChecks, 0);
        }
    }

    void aDamagedSettingsFileIsReportedOnceAndDefaultsAreUsed() {
        Run r;
        kamelo::test::writeFile(r.db(), std::string(4096, '\x07'));
        r.start();
        QVERIFY(r.app->initInstance());
        QCOMPARE(r.seams->messages.size(), 1);
        QVERIFY(r.seams->messages[0].contains(QStringLiteral("손상")));
        QVERIFY(r.seams->messages[0].contains(QStringLiteral(".damaged-")));
        QCOMPARE(r.app->settings().thumbHeight, 100);
        r.app->exitInstance(0);
        delete r.app->browserFrame();

        // The next start finds a healthy store and says nothing.
        Run again;
        std::filesystem::create_directories(std::filesystem::path(again.db()).parent_path());
        std::filesystem::copy_file(r.db(), again.db());
        again.start();
        QVERIFY(again.app->initInstance());
        QVERIFY(again.seams->messages.isEmpty());
        delete again.app->browserFrame();
    }

    void cacheVersionTwoKeepsTheCacheAndTheAssociationCheckFollowsItsSetting() {
        Run r;
        {
            SettingsStore s(r.db());
            s.setInt("General", "Cache File Version", 2);
            s.setInt("general", "check file association", 1);
            s.setInt("cache", "cache count", 1);
        }
        kamelo::test::writeFile(r.dir.file("program/data/cache/0.cac"), "x");
        r.start();
        QVERIFY(r.app->initInstance());
        QVERIFY(!r.app->cacheWasInvalidated());
        QVERIFY(std::filesystem::exists(r.dir.file("program/data/cache/0.cac")));
        QCOMPARE(r.app->store()->getInt("cache", "cache count", 0), 1);
        QCOMPARE(r.seams->associationChecks, 0);
        delete r.app->browserFrame();
    }

    void settingsALockRefusesAtExitAreNamedOnce() {
        Watchdog watchdog(60);
        Run r;
        r.settingsRetryMs = 100;
        SettingsStore(r.db()).setInt("Thumb", "Thumb Width", 130);
        r.start();
        QVERIFY(r.app->initInstance());
        QVERIFY(r.seams->messages.isEmpty());
        r.app->settings().thumbWidth = 150;
        SettingsLocker other(r.db());
        QVERIFY(other.locked());
        r.app->exitInstance(0);
        r.app->exitInstance(0);
        QCOMPARE(r.seams->messages.size(), 1);
        const QString& text = r.seams->messages[0];
        QVERIFY(text.contains(QStringLiteral("저장하지 못했습니다")));
        QVERIFY(text.contains(QStringLiteral("Thumb\\Thumb Width")));
        // Unchanged values lose nothing and are not listed.
        QVERIFY(!text.contains(QStringLiteral("Thumb Height")));
        other.release();
        QVERIFY(!anyDamagedCopy(r.db()));
        QCOMPARE(SettingsStore(r.db()).getInt("Thumb", "Thumb Width", 0), 130);
        delete r.app->browserFrame();
    }

    void settingsAtExitWaitForALockThatGoesAway() {
        Watchdog watchdog(60);
        Run r;
        r.start();
        QVERIFY(r.app->initInstance());
        r.app->settings().thumbWidth = 150;
        std::promise<void> locked;
        std::thread holder([&] {
            SettingsLocker other(r.db());
            locked.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        });
        locked.get_future().wait();
        r.app->exitInstance(0);
        holder.join();
        QVERIFY(r.seams->messages.isEmpty());
        QCOMPARE(SettingsStore(r.db()).getInt("Thumb", "Thumb Width", 0), 150);
        delete r.app->browserFrame();
    }

    void aSettingsFileLockedAtStartIsLeftAloneAndGetsTheChangesAtExit() {
        Watchdog watchdog(60);
        Run r;
        {
            SettingsStore s(r.db());
            s.setInt("Thumb", "Thumb Width", 130);
            s.setInt("Thumb", "Thumb Height", 111);
            s.setInt("General", "Cache File Version", 2);
        }
        auto other = std::make_unique<SettingsLocker>(r.db());
        QVERIFY(other->locked());
        r.start();
        QVERIFY(r.app->initInstance()); // waits for the lock first, then goes on
        QCOMPARE(r.seams->messages.size(), 1);
        QVERIFY(r.seams->messages[0].contains(QStringLiteral("다른 프로그램")));
        QVERIFY(!anyDamagedCopy(r.db()));
        QCOMPARE(r.app->settings().thumbWidth, 120); // defaults for this run
        other.reset();
        r.app->settings().sortBy = 2;
        r.app->exitInstance(0);
        QCOMPARE(r.seams->messages.size(), 1);
        SettingsStore after(r.db());
        QCOMPARE(after.getInt("General", "Sort By", 0), 2);
        // Values this run never read keep what the file had.
        QCOMPARE(after.getInt("Thumb", "Thumb Width", 0), 130);
        QCOMPARE(after.getInt("Thumb", "Thumb Height", 0), 111);
        delete r.app->browserFrame();
    }

    void anUpdateThatTookActionSkipsTheAssociationCheck() {
        Run r;
        r.seams->updateResult = 1;
        r.start();
        QVERIFY(r.app->initInstance());
        QCOMPARE(r.seams->updateChecks, 1);
        QCOMPARE(r.seams->associationChecks, 0);
        delete r.app->browserFrame();
    }
};

QTEST_MAIN(TestEyeApp)
#include "tst_eyeapp.moc"
