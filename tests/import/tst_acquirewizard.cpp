#include "base/settingsstore.h"
#include "import/acquireclashdialog.h"
#include "import/acquirecompletepage.h"
#include "import/acquiredrivespage.h"
#include "import/acquirefilespage.h"
#include "import/acquireoptionspage.h"
#include "import/acquireprogresspage.h"
#include "import/acquirewizard.h"
#include "import/core/acquirenaming.h"
#include "import/core/saveplaces.h"
#include "import/importworker.h"
#include "resources/qtstrings.h"
#include "tests/import/testcard.h"
#include "tests/support/modalscript.h"
#include "tests/support/watchdog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>

#include <filesystem>

using namespace kamelo;
using namespace kamelo::acquire;
using kamelo::test::activeModal;
using kamelo::test::ScratchDir;
using kamelo::test::Script;
namespace fs = std::filesystem;

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

void click(QAbstractButton* b) {
    QVERIFY(b && b->isEnabled());
    // Radio buttons and check boxes take clicks on their mark and label,
    // not anywhere across a wide row.
    const bool marked = qobject_cast<QRadioButton*>(b) || qobject_cast<QCheckBox*>(b);
    QTest::mouseClick(b, Qt::LeftButton, {}, marked ? QPoint(6, b->height() / 2) : QPoint());
}

void next(QWizard& w) {
    click(w.button(QWizard::NextButton));
}

// Return to whatever has the focus: the wizard's default button answers.
void returnKey() {
    QWidget* f = QApplication::focusWidget();
    QVERIFY(f);
    QTest::keyClick(f, Qt::Key_Return);
}

// A message box with this text, answered with Return once it shows.
Script::Step answerMessage(int textId, bool* seen) {
    return {[] { return activeModal<QMessageBox>() != nullptr; },
            [textId, seen] {
                auto* box = activeModal<QMessageBox>();
                *seen = box->text() == res::qtext(textId);
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            }};
}

struct Fixture {
    ScratchDir dir;
    test::TestCard card;
    SettingsStore store;
    FolderDevices devices;
    QString selected;
    bool selectWorks = true;
    CAcquireWizard wizard;

    Fixture()
        : card(test::makeTestCard(dir.file("card"))), store(dir.file("settings.sqlite")),
          devices({{q(dir.file("empty")), QStringLiteral("EMPTY"), false},
                   {q(dir.file("card")), QStringLiteral("CARD"), false}}),
          wizard(store, devices, [this](const QString& f) {
              selected = f;
              return selectWorks;
          }) {
        fs::create_directories(dir.file("empty/DCIM"));
        wizard.setPicturesFolder(q(dir.file("Pictures")));
        wizard.show();
        QApplication::setActiveWindow(&wizard);
        if (!QTest::qWaitForWindowActive(&wizard))
            qWarning("the wizard did not become active");
    }
    template <class T> T* page(int id) { return static_cast<T*>(wizard.page(id)); }
};

} // namespace

class TestAcquireWizard : public QObject {
    Q_OBJECT
private slots:
    void pagesInOrderWithBackAndNext();
    void noFilesMessageKeepsTheDevicePage();
    void nameFieldsRefuseTypedAndPastedCharacters();
    void clashDialogChoiceHoldsAndCompletePageCounts();
    void finishWithoutTheFolderSaysSo();
};

void TestAcquireWizard::pagesInOrderWithBackAndNext() {
    kamelo::test::Watchdog dog(120);
    Fixture f;
    QCOMPARE(f.wizard.windowTitle(), res::qtext(res::IDS_ACQUIRE_CAPTION));
    QCOMPARE(f.wizard.currentId(), int(CAcquireWizard::kWelcome));
    QCOMPARE(f.wizard.currentPage()->title(), res::qtext(res::IDS_ACQUIRE_WELCOME));
    next(f.wizard);
    QCOMPARE(f.wizard.currentId(), int(CAcquireWizard::kDevice));
    QCOMPARE(f.wizard.currentPage()->subTitle(), res::qtext(res::IDS_ACQUIRE_DEVICE_SUBTITLE));
    auto* drives = f.page<CAquireDrivesPage>(CAcquireWizard::kDevice);
    QCOMPARE(drives->list()->topLevelItemCount(), 2);
    QCOMPARE(drives->list()->headerItem()->text(0), res::qtext(res::IDS_ACQUIRE_DEVICE));
    // Down to the card, then Return.
    QTest::keyClick(drives->list(), Qt::Key_Down);
    QCOMPARE(drives->list()->currentItem()->text(0), QStringLiteral("CARD"));
    returnKey();
    QCOMPARE(f.wizard.currentId(), int(CAcquireWizard::kFiles));
    QCOMPARE(f.wizard.currentPage()->title(), res::qtext(res::IDS_ACQUIRE_FILES_TITLE));
    auto* files = f.page<CAquireFilesPage>(CAcquireWizard::kFiles);
    QTreeWidget* list = files->list();
    QCOMPARE(list->topLevelItemCount(), 7);
    const QStringList names = {"IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.JPG", "MVI_0004.MOV",
                               "DSCF0005.JPG", "IMG_0001.JPG", "IMG_0006.JPG"};
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(list->topLevelItem(i)->text(0), names[i]);
        QCOMPARE(list->topLevelItem(i)->checkState(0), Qt::Checked);
        QVERIFY(list->topLevelItem(i)->text(1).contains(res::qtext(res::IDS_ACQUIRE_AM)) ||
                list->topLevelItem(i)->text(1).contains(res::qtext(res::IDS_ACQUIRE_PM)));
    }
    // The selected picture is previewed (made off this thread).
    QTRY_VERIFY_WITH_TIMEOUT(!files->preview()->pixmap().isNull(), 20000);
    auto findButton = [&](int id) {
        for (auto* b : files->findChildren<QPushButton*>())
            if (b->text() == res::qtext(id))
                return b;
        return static_cast<QPushButton*>(nullptr);
    };
    click(findButton(res::IDS_ACQUIRE_DESELECT_ALL));
    for (int i = 0; i < 7; ++i)
        QCOMPARE(list->topLevelItem(i)->checkState(0), Qt::Unchecked);
    click(findButton(res::IDS_ACQUIRE_SELECT_ALL));
    for (int i = 0; i < 7; ++i)
        QCOMPARE(list->topLevelItem(i)->checkState(0), Qt::Checked);
    // The movie stays on the card: Space on its row unchecks it.
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(3));
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(list->topLevelItem(3)->checkState(0), Qt::Unchecked);

    click(f.wizard.button(QWizard::BackButton));
    QCOMPARE(f.wizard.currentId(), int(CAcquireWizard::kDevice));
    next(f.wizard);
    QCOMPARE(f.wizard.currentId(), int(CAcquireWizard::kFiles));
    QCOMPARE(list->topLevelItem(3)->checkState(0), Qt::Unchecked);
    next(f.wizard);
    QCOMPARE(f.wizard.currentId(), int(CAcquireWizard::kOptions));
    auto* options = f.page<CAquireOptionsPage>(CAcquireWizard::kOptions);
    const QString today = q(todayStamp());
    QCOMPARE(options->groupName()->text(), today);
    QCOMPARE(options->subFolder()->text(), today);
    QCOMPARE(options->destination()->currentText(), q(f.dir.file("Pictures")));
    QVERIFY(options->autoRotate()->isChecked());
    QVERIFY(!options->deleteSource()->isChecked());
    click(options->rules()->button(1));
    options->groupName()->setFocus();
    options->groupName()->selectAll();
    QTest::keyClicks(options->groupName(), "2004-05-01");
    options->subFolder()->setFocus();
    options->subFolder()->selectAll();
    QTest::keyClicks(options->subFolder(), "trip");
    click(options->deleteSource());
    next(f.wizard);
    // The copy runs, then the complete page shows.
    QTRY_COMPARE_WITH_TIMEOUT(f.wizard.currentId(), int(CAcquireWizard::kComplete), 60000);
    auto* complete = f.page<CAquireCompletePage>(CAcquireWizard::kComplete);
    QCOMPARE(complete->message()->text(), res::qtext(res::IDS_ACQUIRE_DONE));
    QVERIFY(!f.wizard.button(QWizard::BackButton)->isVisible());
    const std::string out = f.dir.file("Pictures/trip/");
    QVERIFY(fs::exists(out + "2004-05-01 000.JPG"));
    QVERIFY(fs::exists(out + "2004-05-01 003.JPG")); // the movie was left out
    QVERIFY(fs::exists(out + "2004-05-01 005.JPG"));
    QVERIFY(!fs::exists(out + "2004-05-01 006.JPG"));
    QVERIFY(!fs::exists(f.card.listed[0])); // deleted after its checked copy
    QVERIFY(fs::exists(f.card.listed[3]));  // not checked: kept
    // The choices are stored.
    QCOMPARE(f.store.getInt(kSection, kKeyNameRule, -1), 1);
    QCOMPARE(f.store.getInt(kSection, kKeyDeleteSource, -1), 1);
    QCOMPARE(f.store.getInt(kSection, kKeyAutoRotate, -1), 1);
    QCOMPARE(f.store.getString(kSection, lastSaveFolderKey(0), ""), f.dir.file("Pictures"));
    click(f.wizard.button(QWizard::FinishButton));
    QCOMPARE(f.selected, q(f.dir.file("Pictures/trip")));
    QVERIFY(!f.wizard.isVisible());
}

void TestAcquireWizard::noFilesMessageKeepsTheDevicePage() {
    kamelo::test::Watchdog dog(60);
    Fixture f;
    next(f.wizard);
    bool seen = false;
    Script script({answerMessage(res::IDS_ACQUIRE_NO_FILES, &seen)});
    returnKey(); // the first device, which holds no picture
    QTRY_VERIFY_WITH_TIMEOUT(script.done(), 20000);
    QVERIFY(seen);
    QCOMPARE(f.wizard.currentId(), int(CAcquireWizard::kDevice));
}

void TestAcquireWizard::nameFieldsRefuseTypedAndPastedCharacters() {
    kamelo::test::Watchdog dog(60);
    Fixture f;
    next(f.wizard);
    QTest::keyClick(f.page<CAquireDrivesPage>(CAcquireWizard::kDevice)->list(), Qt::Key_Down);
    next(f.wizard);
    next(f.wizard);
    auto* options = f.page<CAquireOptionsPage>(CAcquireWizard::kOptions);
    click(options->rules()->button(1));
    QLineEdit* group = options->groupName();
    group->setFocus();
    group->selectAll();
    QTest::keyClicks(group, "a\\b/c:d*e?f\"g<h>i|j");
    QCOMPARE(group->text(), QStringLiteral("abcdefghij"));
    QApplication::clipboard()->setText(QStringLiteral("여름/휴가:2004?"));
    group->selectAll();
    QTest::keyClick(group, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(group->text(), QStringLiteral("여름휴가2004"));
    QLineEdit* sub = options->subFolder();
    sub->setFocus();
    sub->selectAll();
    QTest::keyClick(sub, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClicks(sub, "<x>");
    QCOMPARE(sub->text(), QStringLiteral("여름휴가2004x"));
}

void TestAcquireWizard::clashDialogChoiceHoldsAndCompletePageCounts() {
    kamelo::test::Watchdog dog(120);
    Fixture f;
    // Earlier imports into the same folder under the same names.
    test::writeBytes(f.dir.file("Pictures/x/IMG_0002.JPG"), {'o', 'l', 'd'});
    test::writeBytes(f.dir.file("Pictures/x/DSCF0005.JPG"), {'o', 'l', 'd'});
    next(f.wizard);
    QTest::keyClick(f.page<CAquireDrivesPage>(CAcquireWizard::kDevice)->list(), Qt::Key_Down);
    next(f.wizard);
    next(f.wizard);
    auto* options = f.page<CAquireOptionsPage>(CAcquireWizard::kOptions);
    click(options->rules()->button(0));
    click(options->autoRotate()); // off: plain copies
    options->subFolder()->setFocus();
    options->subFolder()->selectAll();
    QTest::keyClicks(options->subFolder(), "x");
    int dialogs = 0;
    Script script({{[] { return activeModal<CAcquireClashDialog>() != nullptr; },
                    [&dialogs] {
                        ++dialogs;
                        auto* d = activeModal<CAcquireClashDialog>();
                        QCOMPARE(d->windowTitle(), res::qtext(res::IDS_ACQUIRE_CLASH_CAPTION));
                        QAbstractButton* skip = d->choices()->button(int(ClashChoice::Skip));
                        QTest::mouseClick(skip, Qt::LeftButton, {}, QPoint(6, skip->height() / 2));
                        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                    }}});
    next(f.wizard);
    QTRY_COMPARE_WITH_TIMEOUT(f.wizard.currentId(), int(CAcquireWizard::kComplete), 60000);
    QVERIFY(script.done());
    QCOMPARE(dialogs, 1); // asked once; the second clash was skipped too
    auto* complete = f.page<CAquireCompletePage>(CAcquireWizard::kComplete);
    QCOMPARE(complete->message()->text(), q(res::format(res::IDS_ACQUIRE_PARTIAL, 5, 2, 0, 0)));
    QCOMPARE(test::readBytes(f.dir.file("Pictures/x/IMG_0002.JPG")),
             (std::vector<uint8_t>{'o', 'l', 'd'}));
    QVERIFY(fs::exists(f.dir.file("Pictures/x/_IMG_0001.JPG")));
}

void TestAcquireWizard::finishWithoutTheFolderSaysSo() {
    kamelo::test::Watchdog dog(120);
    Fixture f;
    f.selectWorks = false;
    next(f.wizard);
    QTest::keyClick(f.page<CAquireDrivesPage>(CAcquireWizard::kDevice)->list(), Qt::Key_Down);
    next(f.wizard);
    next(f.wizard);
    click(f.page<CAquireOptionsPage>(CAcquireWizard::kOptions)->autoRotate());
    next(f.wizard);
    QTRY_COMPARE_WITH_TIMEOUT(f.wizard.currentId(), int(CAcquireWizard::kComplete), 60000);
    bool seen = false;
    Script script({answerMessage(res::IDS_ACQUIRE_NO_TARGET_FOLDER, &seen)});
    click(f.wizard.button(QWizard::FinishButton));
    QTRY_VERIFY_WITH_TIMEOUT(script.done(), 20000);
    QVERIFY(seen);
    ImportWorker::waitForAll();
}

QTEST_MAIN(TestAcquireWizard)
#include "tst_acquirewizard.moc"
