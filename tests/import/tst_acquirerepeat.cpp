// The wizard as people use it again and again: files told apart by their
// folder on the card, and photos imported before left alone.
#include "base/settingsstore.h"
#include "import/acquirecompletepage.h"
#include "import/acquiredrivespage.h"
#include "import/acquirefilespage.h"
#include "import/acquireoptionspage.h"
#include "import/acquirewizard.h"
#include "import/core/acquirenaming.h"
#include "import/core/saveplaces.h"
#include "resources/qtstrings.h"
#include "tests/import/testcard.h"
#include "tests/support/watchdog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

using namespace kamelo;
using namespace kamelo::acquire;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

void click(QAbstractButton* b) {
    QVERIFY(b && b->isEnabled());
    const bool mark = qobject_cast<QCheckBox*>(b) != nullptr;
    QTest::mouseClick(b, Qt::LeftButton, {}, mark ? QPoint(6, b->height() / 2) : QPoint());
}

} // namespace

// A wizard over a card folder that the test can also show as a camera.
struct CameraFixture {
    ScratchDir dir;
    test::TestCard card = test::makeTestCard(dir.file("card"));
    SettingsStore store{dir.file("settings.sqlite")};
    FolderDevices devices{{}};
    // Read by the detection's thread.
    std::mutex attachedMutex;
    std::vector<GPhotoCamera::Found> attached;
    CAcquireWizard wizard{store, devices, [](const QString&) { return true; }};
    CameraFixture() {
        wizard.setCameraLister([this] {
            std::lock_guard lock(attachedMutex);
            return attached;
        });
        wizard.setPicturesFolder(q(dir.file("Pictures")));
        wizard.show();
        QApplication::setActiveWindow(&wizard);
        if (!QTest::qWaitForWindowActive(&wizard))
            qWarning("the wizard did not become active");
    }
    CAquireDrivesPage* drives() {
        return static_cast<CAquireDrivesPage*>(wizard.page(CAcquireWizard::kDevice));
    }
    void plugIn(const std::string& folder) {
        std::lock_guard lock(attachedMutex);
        attached = {{"Directory Browse", "disk:" + folder, "PHONE"}};
    }
};

// A phone of many small files, whose reading waits after a number of files
// until the test lets it go on (or the reading is stopped).
struct SlowPhone {
    static constexpr size_t kFiles = 300;
    static constexpr size_t kHeldAt = 20;
    std::string root;
    struct Gate {
        std::atomic<bool> open{false};
        std::atomic<bool> sawStop{false};
    };
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();

    explicit SlowPhone(const std::string& folder) : root(folder) {
        char name[32];
        for (size_t i = 0; i < kFiles; ++i) {
            std::snprintf(name, sizeof name, "/DCIM/100PHONE/P%04zu.JPG", i);
            test::writeBytes(root + name, std::vector<uint8_t>(64, uint8_t(i)));
        }
        // Listed after the held folder: its listing fails once the phone is gone.
        test::writeBytes(root + "/DCIM/101PHONE/LAST.JPG", std::vector<uint8_t>(64, 1));
    }
    CAquireDrivesPage::ReadPacer pacer() const {
        return [gate = gate](size_t count, const std::atomic<bool>& stop) {
            while (count == kHeldAt && !gate->open && !stop)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (stop)
                gate->sawStop = true;
        };
    }
};

// Plugs the phone in on the device page and waits until its reading is held.
void startHeldReading(CameraFixture& f, const SlowPhone& phone) {
    f.drives()->setReadPacer(phone.pacer());
    click(f.wizard.button(QWizard::NextButton));
    f.plugIn(phone.root);
    QTRY_COMPARE_WITH_TIMEOUT(f.drives()->list()->topLevelItemCount(), 1, 10000);
    QVERIFY(f.drives()->reading());
    // The count so far comes while the reading goes on.
    QTRY_VERIFY_WITH_TIMEOUT(
        f.drives()->status()->text() !=
            QString::fromStdString(res::format(res::IDS_ACQUIRE_CAMERA_READING, 0)),
        10000);
    QVERIFY(f.drives()->reading());
    QVERIFY(!f.wizard.button(QWizard::NextButton)->isEnabled());
}

class TestAcquireRepeat : public QObject {
    Q_OBJECT
private slots:
    void aCameraPluggedInShowsUpAndImportsLikeACard() {
        kamelo::test::Watchdog dog(120);
        QVERIFY2(!test::testDataDir().empty(), "sample pictures not found; set KAMELO_TESTDATA");
        CameraFixture f;
        click(f.wizard.button(QWizard::NextButton));
        QCOMPARE(f.drives()->list()->topLevelItemCount(), 0);
        // Plugged in while the page shows.
        f.plugIn(f.card.root);
        QTRY_COMPARE_WITH_TIMEOUT(f.drives()->list()->topLevelItemCount(), 1, 10000);
        QCOMPARE(f.drives()->list()->topLevelItem(0)->text(0),
                 QStringLiteral("Directory Browse (PHONE)"));
        QTRY_VERIFY_WITH_TIMEOUT(f.wizard.button(QWizard::NextButton)->isEnabled(), 10000);
        f.drives()->list()->setFocus();
        QTest::keyClick(f.drives()->list(), Qt::Key_Return);
        QCOMPARE(f.wizard.currentId(), int(CAcquireWizard::kFiles));
        QTreeWidget* list = static_cast<CAquireFilesPage*>(f.wizard.currentPage())->list();
        QCOMPARE(list->topLevelItemCount(), 7);
        QCOMPARE(list->topLevelItem(5)->text(0), QStringLiteral("IMG_0001.JPG"));
        QCOMPARE(list->topLevelItem(5)->text(2), QStringLiteral("DCIM/101CANON"));
        QVERIFY(!list->topLevelItem(5)->text(1).isEmpty());
        QCOMPARE(list->topLevelItem(3)->text(3),
                 QString::fromStdString(res::format(res::IDS_BROWSER_STATUS_FILE_SIZE, 40)));
        // The movie stays on the phone.
        list->setCurrentItem(list->topLevelItem(3));
        QTest::keyClick(list, Qt::Key_Space);
        click(f.wizard.button(QWizard::NextButton));
        auto* options = static_cast<CAquireOptionsPage*>(f.wizard.currentPage());
        click(options->deleteSource());
        click(f.wizard.button(QWizard::NextButton));
        QTRY_COMPARE_WITH_TIMEOUT(f.wizard.currentId(), int(CAcquireWizard::kComplete), 60000);
        auto* complete = static_cast<CAquireCompletePage*>(f.wizard.currentPage());
        QCOMPARE(complete->message()->text(), res::qtext(res::IDS_ACQUIRE_DONE));
        const std::string out = f.dir.file("Pictures/" + todayStamp());
        QVERIFY(fs::exists(out + "/IMG_0002.JPG"));
        QVERIFY(fs::exists(out + "/_IMG_0001.JPG"));
        QVERIFY(!fs::exists(out + "/MVI_0004.MOV"));
        for (size_t i = 0; i < f.card.listed.size(); ++i)
            QCOMPARE(fs::exists(f.card.listed[i]), i == 3);
        QVERIFY(test::leftoverTemps(out).empty());
    }

    void aPhoneIsReadWhileTheWindowGoesOn() {
        kamelo::test::Watchdog dog(120);
        CameraFixture f;
        const SlowPhone phone(f.dir.file("phone"));
        startHeldReading(f, phone);
        bool ticked = false;
        QTimer::singleShot(0, &f.wizard, [&] { ticked = true; });
        QTRY_VERIFY(ticked);
        QVERIFY(f.drives()->reading());
        phone.gate->open = true;
        QTRY_VERIFY_WITH_TIMEOUT(f.wizard.button(QWizard::NextButton)->isEnabled(), 30000);
        QCOMPARE(f.drives()->status()->text(),
                 QString::fromStdString(
                     res::format(res::IDS_ACQUIRE_CAMERA_READ, int(SlowPhone::kFiles + 1))));
        QTest::keyClick(f.drives()->list(), Qt::Key_Return);
        QCOMPARE(f.wizard.currentId(), int(CAcquireWizard::kFiles));
        QTreeWidget* list = static_cast<CAquireFilesPage*>(f.wizard.currentPage())->list();
        QCOMPARE(list->topLevelItemCount(), int(SlowPhone::kFiles + 1));
    }

    void leavingWhileReadingStopsTheReading_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("escape") << "escape";
        QTest::newRow("cancel") << "cancel";
        QTest::newRow("back") << "back";
    }
    void leavingWhileReadingStopsTheReading() {
        QFETCH(QString, how);
        kamelo::test::Watchdog dog(120);
        CameraFixture f;
        const SlowPhone phone(f.dir.file("phone"));
        startHeldReading(f, phone);
        if (how == "escape")
            QTest::keyClick(f.drives()->list(), Qt::Key_Escape);
        else if (how == "cancel")
            click(f.wizard.button(QWizard::CancelButton));
        else
            click(f.wizard.button(QWizard::BackButton));
        QCOMPARE(f.wizard.isVisible(), how == "back");
        QTRY_VERIFY_WITH_TIMEOUT(phone.gate->sawStop.load(), 10000);
        if (how == "back") {
            QCOMPARE(f.wizard.currentId(), int(CAcquireWizard::kWelcome));
            QVERIFY(!f.drives()->reading());
        }
    }

    void aPhoneUnpluggedWhileReadIsSaidToBeGone() {
        kamelo::test::Watchdog dog(120);
        CameraFixture f;
        const SlowPhone phone(f.dir.file("phone"));
        startHeldReading(f, phone);
        fs::remove_all(phone.root);
        phone.gate->open = true;
        QTRY_VERIFY_WITH_TIMEOUT(!f.drives()->reading(), 30000);
        QCOMPARE(f.drives()->status()->text(), res::qtext(res::IDS_ACQUIRE_CAMERA_GONE));
        QCOMPARE(f.wizard.currentId(), int(CAcquireWizard::kDevice));
    }

    void anyFolderCanBeChosenAsTheSource() {
        kamelo::test::Watchdog dog(60);
        QVERIFY2(!test::testDataDir().empty(), "sample pictures not found; set KAMELO_TESTDATA");
        CameraFixture f;
        f.wizard.setSourceChooser([&] { return q(f.card.root + "/DCIM"); });
        click(f.wizard.button(QWizard::NextButton));
        click(f.drives()->chooseFolder());
        QCOMPARE(f.drives()->list()->topLevelItemCount(), 1);
        QCOMPARE(f.drives()->list()->currentItem()->text(0), q(f.card.root + "/DCIM"));
        QTest::keyClick(f.drives()->list(), Qt::Key_Return);
        QCOMPARE(f.wizard.currentId(), int(CAcquireWizard::kFiles));
        QTreeWidget* list = static_cast<CAquireFilesPage*>(f.wizard.currentPage())->list();
        QCOMPARE(list->topLevelItemCount(), 7);
        QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("100CANON"));
    }

    void photosAlreadyImportedAreSkippedAndFoldersShown() {
        kamelo::test::Watchdog dog(120);
        QVERIFY2(!test::testDataDir().empty(), "sample pictures not found; set KAMELO_TESTDATA");
        ScratchDir dir;
        const test::TestCard card = test::makeTestCard(dir.file("card"));
        SettingsStore store(dir.file("settings.sqlite"));
        FolderDevices devices({{q(card.root), QStringLiteral("CARD"), false}});
        QString selected;
        CAcquireWizard wizard(store, devices, [&](const QString& f) {
            selected = f;
            return true;
        });
        wizard.setPicturesFolder(q(dir.file("Pictures")));
        wizard.show();
        QApplication::setActiveWindow(&wizard);
        QVERIFY(QTest::qWaitForWindowActive(&wizard));
        // One photo of the card came in before, under another name.
        const std::string out = dir.file("Pictures/" + todayStamp());
        test::writeBytes(out + "/earlier.jpg", test::readBytes(card.listed[1]));

        click(wizard.button(QWizard::NextButton));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(wizard.currentId(), int(CAcquireWizard::kFiles));
        QTreeWidget* list = static_cast<CAquireFilesPage*>(wizard.currentPage())->list();
        QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("DCIM/100CANON"));
        QCOMPARE(list->topLevelItem(5)->text(0), list->topLevelItem(0)->text(0));
        QCOMPARE(list->topLevelItem(5)->text(2), QStringLiteral("DCIM/101CANON"));

        click(wizard.button(QWizard::NextButton));
        auto* options = static_cast<CAquireOptionsPage*>(wizard.currentPage());
        QVERIFY(!options->skipImported()->isChecked());
        click(options->autoRotate());
        click(options->skipImported());
        QVERIFY(options->skipImported()->isChecked());
        bool noteShown = false;
        for (const QLabel* l : options->findChildren<QLabel*>())
            noteShown |= l->text() == res::qtext(res::IDS_ACQUIRE_SAME_RUN_NOTE) && l->isVisible();
        QVERIFY(noteShown);
        click(wizard.button(QWizard::NextButton));
        QTRY_COMPARE_WITH_TIMEOUT(wizard.currentId(), int(CAcquireWizard::kComplete), 60000);
        auto* complete = static_cast<CAquireCompletePage*>(wizard.currentPage());
        QVERIFY(complete->failures()->toPlainText().contains(
            QString::fromStdString(res::format(res::IDS_ACQUIRE_ALREADY_COUNT, 1))));
        QVERIFY(!fs::exists(out + "/IMG_0002.JPG"));
        QVERIFY(fs::exists(out + "/IMG_0003.JPG"));
        QCOMPARE(store.getInt(kSection, kKeySkipImported, 0), 1);
        click(wizard.button(QWizard::FinishButton));
        QCOMPARE(selected, q(out));
    }
};

QTEST_MAIN(TestAcquireRepeat)
#include "tst_acquirerepeat.moc"
