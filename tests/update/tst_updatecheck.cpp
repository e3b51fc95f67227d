// The update check against a Python HTTP server on 127.0.0.1, with a fake
// updater in a scratch program folder; the dialogs answered with keys.
#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "resources/qtstrings.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"
#include "tests/updater/serverprocess.h"
#include "update/core/instanceregistry.h"
#include "update/core/packageowned.h"
#include "update/core/updaterules.h"
#include "update/updatecheck.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <arpa/inet.h>
#include <filesystem>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kamelo;
using namespace kamelo::update;
namespace fs = std::filesystem;

namespace {

// The real dialogs, each seen and answered with a key: Return (예, or the
// message's button) or Escape (아니오).
struct SeenPrompt : UpdatePrompt {
    QStringList* seen;
    explicit SeenPrompt(QStringList* s) : seen(s) {}
    bool confirmUpdate(QWidget* parent) override {
        seen->append(QStringLiteral("confirm"));
        return UpdatePrompt::confirmUpdate(parent);
    }
    void message(QWidget* parent, const QString& text) override {
        seen->append(text);
        UpdatePrompt::message(parent, text);
    }
};

class Answerer : public QObject {
public:
    bool yes = false;
    Answerer() {
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            const bool confirm = box->windowTitle() == res::qtext(res::IDS_UPDATE_CAPTION);
            QTest::keyClick(box, confirm && !yes ? Qt::Key_Escape : Qt::Key_Return);
        });
        timer_.start(20);
    }

private:
    QTimer timer_;
};

const double kNow = 1'700'000'000;

} // namespace

class TestUpdateCheck : public QObject {
    Q_OBJECT
    std::unique_ptr<test::ScratchDir> scratch;
    std::unique_ptr<SettingsStore> store;
    vela::test::ServerProcess server;
    std::string folder; // the program folder, with its '/'
    std::string web;
    QMainWindow* frame = nullptr;
    QStringList seen;
    Answerer answerer;
    int due = 0;
    int started = 0;

    std::unique_ptr<UpdateCheck> make(
        const QString& path = "/kamelo/update/vufilelist.ini",
        std::function<bool()> managed = [] { return false; }) {
        UpdateCheck::Setup s;
        s.packageManaged = std::move(managed);
        s.url = QStringLiteral("http://127.0.0.1:%1%2").arg(server.port()).arg(path);
        s.programFolder = folder;
        s.programPath = InstanceRegistry::executableOf(::getpid());
        s.store = store.get();
        s.frame = frame;
        auto check = std::make_unique<UpdateCheck>(s);
        check->setPrompt(std::make_unique<SeenPrompt>(&seen));
        check->setClock([] { return kNow; });
        check->setConnectionTest([] { return true; });
        connect(check.get(), &UpdateCheck::associationCheckDue, this, [this] { ++due; });
        connect(check.get(), &UpdateCheck::updaterStarted, this, [this] { ++started; });
        return check;
    }
    void publish(const std::string& version) {
        test::writeFile(web + "/kamelo/update/vufilelist.ini",
                        "[GENERAL]\r\nMAIN_VERSION=" + version + "\r\n");
    }
    void lastCheck(double t) {
        store->setString(keys::kGeneral, kLastCheckKey, UpdateRules::formatCheckTime(t));
    }
    bool waitDone(int dueBefore, int startedBefore) {
        return QTest::qWaitFor([&] { return due > dueBefore || started > startedBefore; }, 30000);
    }

private slots:
    void init() {
        scratch = std::make_unique<test::ScratchDir>();
        folder = scratch->file("프로그램 폴더/");
        web = scratch->file("web");
        fs::create_directories(folder);
        fs::create_directories(web + "/kamelo/update");
        test::writeFile(folder + "kamelo.ini", "[GENERAL]\nVERSION=1.2.0.10\n");
        publish("1.2.0.9");
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(scratch->file("runtime")));
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(scratch->file("cache")));
        store = std::make_unique<SettingsStore>(scratch->file("s.sqlite"));
        std::string why;
        QVERIFY2(
            server.start(
                {vela::test::systemPython(), vela::test::serverScript("httpserver.py"), web}, why),
            why.c_str());
        frame = new QMainWindow;
        frame->show();
        seen.clear();
        answerer.yes = false;
        due = started = 0;
    }
    void cleanup() {
        delete frame;
        server.stop();
        store.reset();
        scratch.reset();
    }

    void throttleAtSixHoursEitherWay() {
        test::Watchdog dog(120);
        auto check = make();
        for (double last : {kNow - 21599, kNow + 21599, kNow}) {
            lastCheck(last);
            QCOMPARE(check->check(false, true), 0);
        }
        QVERIFY(!fs::exists(folder + kListFile));
        for (double last : {kNow - 21600, kNow + 21600}) {
            lastCheck(last);
            const int d = due;
            QCOMPARE(check->check(false, true), 1);
            QVERIFY(waitDone(d, started));
        }
        // The menu always checks.
        lastCheck(kNow);
        const int d = due;
        QCOMPARE(check->checkOnRequest(), 1);
        QVERIFY(waitDone(d, started));
        QCOMPARE(seen.count(QStringLiteral("confirm")), 3);
        // The connection test stops a start-up check.
        check->setConnectionTest([] { return false; });
        QCOMPARE(check->check(true, false), 0);
    }

    void differentVersionsOfferTheUpdate() {
        test::Watchdog dog(60);
        auto check = make();
        lastCheck(0);
        QCOMPARE(check->check(false, true), 1);
        QVERIFY(waitDone(0, 0));
        QCOMPARE(seen, QStringList{QStringLiteral("confirm")}); // 1.2.0.9 against 1.2.0.10
        // "아니오": nothing more; the check time stays.
        QCOMPARE(store->getString(keys::kGeneral, kLastCheckKey, ""), std::string("0"));
        QCOMPARE(started, 0);
        QVERIFY(frame->isVisible());
    }

    void equalVersionsSayNothingAtStartUpAndOnceAfterTheMenu() {
        test::Watchdog dog(60);
        publish("1.2.0.10");
        auto check = make();
        QCOMPARE(check->check(false, false), 1);
        QVERIFY(waitDone(0, 0));
        QVERIFY(seen.isEmpty());
        QCOMPARE(store->getString(keys::kGeneral, kLastCheckKey, ""), std::string("1700000000"));
        QCOMPARE(check->checkOnRequest(), 1);
        QVERIFY(waitDone(1, 0));
        QCOMPARE(seen, QStringList{res::qtext(res::IDS_MSG_NO_UPDATE)});
        QVERIFY(!check->userRequest());
    }

    void missingListsAlwaysAndDownServersOnlyAfterTheMenu() {
        test::Watchdog dog(60);
        // The server answers without a list (404): a failed download, told
        // as the missing version at start-up and after the menu alike, and
        // never as a server that cannot be reached.
        for (bool menu : {false, true}) {
            auto missing = make(QStringLiteral("/kamelo/update/none.ini"));
            QCOMPARE(menu ? missing->checkOnRequest() : missing->check(false, false), 1);
            QVERIFY(QTest::qWaitFor([&] { return !seen.isEmpty(); }, 30000));
            QCOMPARE(seen, QStringList{res::qtext(res::IDS_MSG_UPDATE_NO_VERSION)});
            QVERIFY(!missing->userRequest());
            seen.clear();
        }
        QVERIFY(!fs::exists(folder + kListFile));
        QCOMPARE(due, 0);
        // An answer without a version.
        test::writeFile(web + "/kamelo/update/vufilelist.ini", "<html>busy</html>");
        auto check = make();
        QCOMPARE(check->checkOnRequest(), 1);
        QVERIFY(QTest::qWaitFor([&] { return !seen.isEmpty(); }, 30000));
        QCOMPARE(seen, QStringList{res::qtext(res::IDS_MSG_UPDATE_NO_VERSION)});
        seen.clear();
        // Nobody listening: a port held bound but not listening, so that no
        // other test's server can take it meanwhile and connections are
        // refused at once.
        const int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QVERIFY(holder >= 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof addr;
        QVERIFY(::bind(holder, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0);
        QVERIFY(::getsockname(holder, reinterpret_cast<sockaddr*>(&addr), &length) == 0);
        const int port = ntohs(addr.sin_port);
        UpdateCheck::Setup s;
        s.url = QStringLiteral("http://127.0.0.1:%1/x.ini").arg(port);
        s.programFolder = folder;
        s.store = store.get();
        UpdateCheck closed(s);
        closed.setPrompt(std::make_unique<SeenPrompt>(&seen));
        QCOMPARE(closed.checkOnRequest(), 1);
        const bool answered = QTest::qWaitFor([&] { return !seen.isEmpty(); }, 30000);
        ::close(holder);
        QVERIFY(answered);
        QCOMPARE(seen, QStringList{res::qtext(res::IDS_UPDATE_SERVER_UNREACHABLE)});
    }

    void hostileServersNeitherRedirectNorFill() {
        test::Watchdog dog(60);
        server.stop();
        std::string why;
        QVERIFY2(server.start({vela::test::systemPython(),
                               vela::test::serverScript("hostileserver.py"), web},
                              why),
                 why.c_str());
        // 127.0.0.1 and localhost are two hosts: the list is not fetched
        // from the other one, and the answer without it is a missing version.
        for (const char* host : {"localhost", "127.0.0.1"}) {
            auto check = make(QStringLiteral("/redirect/%1/kamelo/update/vufilelist.ini")
                                  .arg(QLatin1String(host)));
            QCOMPARE(check->checkOnRequest(), 1);
            QVERIFY(QTest::qWaitFor([&] { return !seen.isEmpty(); }, 30000));
            QCOMPARE(seen.first(), host == std::string("localhost")
                                       ? res::qtext(res::IDS_MSG_UPDATE_NO_VERSION)
                                       : QStringLiteral("confirm"));
            seen.clear();
        }
        const std::string requests = test::readFile(web + "/requests.log");
        QCOMPARE(int(std::count(requests.begin(), requests.end(), '\n')), 3);
        // A list that never ends is cut off at its bound.
        auto endless = make(QStringLiteral("/endless/vufilelist.ini"));
        QCOMPARE(endless->checkOnRequest(), 1);
        QVERIFY(QTest::qWaitFor([&] { return !seen.isEmpty(); }, 30000));
        QCOMPARE(seen, QStringList{res::qtext(res::IDS_MSG_UPDATE_NO_VERSION)});
        QCOMPARE(qint64(fs::file_size(folder + kListFile)), qint64(kMaxListBytes));
    }

    void yesStartsTheUpdaterAndEndsTheOtherCopies() {
        test::Watchdog dog(60);
        const std::string script =
            "#!/bin/sh\n{ echo \"$0\"; for a in \"$@\"; do echo \"$a\"; done; pwd; } "
            "> \"$(dirname \"$0\")/launch.tmp\"\n"
            "mv \"$(dirname \"$0\")/launch.tmp\" \"$(dirname \"$0\")/launch.txt\"\n";
        test::writeFile(folder + kUpdater, script);
        ::chmod((folder + kUpdater).c_str(), 0755);
        QProcess copy, stranger;
        copy.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--sleep")});
        stranger.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(copy.waitForStarted() && stranger.waitForStarted());
        InstanceRegistry registry;
        QVERIFY(registry.add(pid_t(copy.processId())));
        QVERIFY(registry.add(pid_t(stranger.processId())));

        answerer.yes = true;
        auto check = make();
        QCOMPARE(check->checkOnRequest(), 1);
        QVERIFY(QTest::qWaitFor([&] { return started > 0; }, 30000));
        QVERIFY(QTest::qWaitFor([&] { return fs::exists(folder + "launch.txt"); }, 30000));
        const std::string self = InstanceRegistry::executableOf(::getpid());
        const std::string place = folder.substr(0, folder.size() - 1);
        QCOMPARE(test::readFile(folder + "launch.txt"),
                 folder + kTempUpdater + "\n" + self + "\n/auto\n" + place + "\n");
        QCOMPARE(test::readFile(folder + kTempUpdater), script);
        QVERIFY(::access((folder + kTempUpdater).c_str(), X_OK) == 0);
        QTRY_VERIFY(!frame->isVisible());
        // Finished (it may have been reaped while the frame closed).
        QVERIFY(copy.state() == QProcess::NotRunning || copy.waitForFinished(20000));
        QCOMPARE(copy.exitStatus(), QProcess::CrashExit);
        QCOMPARE(stranger.state(), QProcess::Running);
        QCOMPARE(due, 0);
        QCOMPARE(store->getString(keys::kGeneral, kLastCheckKey, ""), std::string("1700000000"));
        stranger.kill();
        stranger.waitForFinished();
    }

    void packagedCopiesAreSentToThePackageManager_data() {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<bool>("managed");
        QTest::newRow("folder not writable") << "unwritable" << true;
        QTest::newRow("the package's marker is in the folder") << "package" << true;
        QTest::newRow("writable folder of its own") << "none" << false;
    }
    void packagedCopiesAreSentToThePackageManager() {
        QFETCH(QString, owner);
        QFETCH(bool, managed);
        test::Watchdog dog(60);
        // A working updater, so only the ownership can stop it.
        test::writeFile(folder + kUpdater, "#!/bin/sh\ntouch \"$(dirname \"$0\")/launched\"\n");
        ::chmod((folder + kUpdater).c_str(), 0755);
        std::function<bool()> test;
        if (owner == "unwritable")
            test = [] { return true; }; // root could write the real folder
        else
            test = [f = folder] { return PackageOwnership::managed(f); };
        if (owner == "package")
            test::writeFile(folder + PackageOwnership::kMarker, "");
        else
            fs::remove(folder + PackageOwnership::kMarker);
        answerer.yes = true;
        for (bool menu : {false, true}) {
            auto check = make(QStringLiteral("/kamelo/update/vufilelist.ini"), test);
            QCOMPARE(check->packageManaged(), managed);
            seen.clear();
            const int d = due;
            QCOMPARE(menu ? check->checkOnRequest() : check->check(false, false), 1);
            if (!managed) {
                QVERIFY(QTest::qWaitFor([&] { return started > 0; }, 30000));
                QCOMPARE(seen, QStringList{QStringLiteral("confirm")});
                QVERIFY(QTest::qWaitFor([&] { return fs::exists(folder + "launched"); }, 30000));
                return;
            }
            QVERIFY(waitDone(d, started));
            QCOMPARE(seen, QStringList{res::qtext(res::IDS_UPDATE_USE_PACKAGE_MANAGER)});
            // The list went to the user's cache, not the package's folder.
            QVERIFY(!fs::exists(folder + kListFile));
            QVERIFY(fs::exists(scratch->file("cache/kamelo/") + kListFile));
            // The launcher's offer is turned away the same way.
            seen.clear();
            check->launcherResult(40);
            QCOMPARE(seen, QStringList{res::qtext(res::IDS_UPDATE_USE_PACKAGE_MANAGER)});
        }
        QCOMPARE(started, 0);
        QVERIFY(!fs::exists(folder + kTempUpdater));
        QVERIFY(!fs::exists(folder + kLauncherCopy));
        QVERIFY(!fs::exists(folder + "launched"));
        QVERIFY(frame->isVisible());
    }

    void withoutTheUpdaterNothingEnds() {
        test::Watchdog dog(60);
        QProcess copy;
        copy.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--sleep")});
        QVERIFY(copy.waitForStarted());
        QVERIFY(InstanceRegistry().add(pid_t(copy.processId())));
        answerer.yes = true;
        auto check = make();
        QCOMPARE(check->checkOnRequest(), 1);
        QVERIFY(waitDone(0, 0));
        QCOMPARE(seen.size(), 2);
        QVERIFY(seen[1].startsWith(res::qtext(res::IDS_UPDATE_COPY_FAILED).section('\n', 0, 0)));
        QCOMPARE(started, 0);
        QVERIFY(frame->isVisible());
        QCOMPARE(copy.state(), QProcess::Running);
        QVERIFY(!fs::exists(folder + kTempUpdater));
        copy.kill();
        copy.waitForFinished();
    }
};

int main(int argc, char** argv) {
    // A second copy of "the program" for the instance registry to end.
    if (argc > 1 && std::string(argv[1]) == "--sleep") {
        ::sleep(120);
        return 0;
    }
    QApplication app(argc, argv);
    TestUpdateCheck t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_updatecheck.moc"
