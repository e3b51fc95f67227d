// The colour management choices of the "기타 설정" page, set with real keys
// and clicks and confirmed with the sheet's own OK: what the store keeps and
// what the program's colour state becomes.
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "imaging/colour/displaycolour.h"
#include "prefs/etcpage.h"
#include "prefs/preferencessheet.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QtTest>

using namespace kamelo;
using namespace kamelo::prefs;
using imaging::colour::DisplayColour;
using imaging::colour::Intent;

namespace {

// What the user does on the page, in order.
enum Step {
    ClickBox,   // the check box, by mouse
    SpaceOnBox, // the check box, by the space bar
    IntentDown, // the intent list focused, arrow down
    IntentUp,   // the intent list focused, arrow up
};

} // namespace

class TestColourPrefs : public QObject {
    Q_OBJECT
    std::unique_ptr<test::ScratchDir> scratch;
    std::unique_ptr<SettingsStore> store;
    CUiSettings settings;

    // The sheet open on its last page (the etc page), reached by keys.
    std::unique_ptr<CPreferencesSheet> openOnEtcPage(CETCPage*& etc) {
        auto sheet = std::make_unique<CPreferencesSheet>(
            settings, *store, QString::fromStdString(scratch->file("SAMPLE.JPG")));
        sheet->show();
        if (!QTest::qWaitForWindowActive(sheet.get()))
            return nullptr;
        sheet->pageTree()->setFocus();
        QTest::keyClick(sheet->pageTree(), Qt::Key_End);
        etc = qobject_cast<CETCPage*>(sheet->pages()->currentWidget());
        return etc ? std::move(sheet) : nullptr;
    }
    static QWidget* focused(QWidget* fallback) {
        QWidget* w = QApplication::focusWidget();
        return w ? w : fallback;
    }
    static bool focus(QWidget* w) {
        w->setFocus(Qt::TabFocusReason);
        return QTest::qWaitFor([w] { return w->hasFocus(); }, 2000);
    }

private slots:
    void init() {
        scratch = std::make_unique<test::ScratchDir>();
        store = std::make_unique<SettingsStore>(scratch->file("s.sqlite"));
        settings = CUiSettings();
        setSlideShowPageFactory({});
        DisplayColour::reset();
    }
    void cleanup() {
        DisplayColour::reset();
        store.reset();
        scratch.reset();
    }

    void choicesReachStoreAndColourState_data() {
        QTest::addColumn<int>("startManagement");
        QTest::addColumn<int>("startIntent");
        QTest::addColumn<QList<int>>("steps");
        QTest::addColumn<bool>("intentUsable"); // after the steps
        QTest::addColumn<int>("management");
        QTest::addColumn<int>("intent");

        QTest::newRow("defaults, relative colorimetric by keys")
            << 1 << 0 << QList<int>{IntentDown} << true << 1 << 1;
        QTest::newRow("switched off by a click")
            << 1 << 0 << QList<int>{ClickBox} << false << 0 << 0;
        QTest::newRow("off kept, its intent kept") << 0 << 1 << QList<int>{} << false << 0 << 1;
        QTest::newRow("switched on by space, perceptual by keys")
            << 0 << 1 << QList<int>{SpaceOnBox, IntentUp} << true << 1 << 0;
        QTest::newRow("off and on again")
            << 1 << 1 << QList<int>{ClickBox, SpaceOnBox} << true << 1 << 1;
    }
    void choicesReachStoreAndColourState() {
        QFETCH(int, startManagement);
        QFETCH(int, startIntent);
        QFETCH(QList<int>, steps);
        QFETCH(bool, intentUsable);
        QFETCH(int, management);
        QFETCH(int, intent);
        test::Watchdog dog(60);
        settings.colourManagement = startManagement;
        settings.renderingIntent = startIntent;
        CETCPage* etc = nullptr;
        auto sheet = openOnEtcPage(etc);
        QVERIFY(sheet);
        QCheckBox* box = etc->colourManagement();
        QComboBox* list = etc->renderingIntent();
        QCOMPARE(box->isChecked(), startManagement != 0);
        QCOMPARE(list->currentIndex(), startIntent);
        QCOMPARE(list->count(), 2);

        for (int step : steps) {
            switch (step) {
            case ClickBox:
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
                break;
            case SpaceOnBox:
                QVERIFY(focus(box));
                QTest::keyClick(box, Qt::Key_Space);
                break;
            case IntentDown:
            case IntentUp:
                QVERIFY(focus(list));
                QTest::keyClick(list, step == IntentDown ? Qt::Key_Down : Qt::Key_Up);
                break;
            }
        }
        QCOMPARE(list->isEnabled(), intentUsable);
        QCOMPARE(sheet->applyButton()->isEnabled(), !steps.isEmpty());
        // Return goes to the sheet's default button, OK.
        QTest::keyClick(focused(sheet.get()), Qt::Key_Return);
        QTRY_VERIFY(!sheet->isVisible());
        QCOMPARE(sheet->result(), int(QDialog::Accepted));

        QCOMPARE(settings.colourManagement, management);
        QCOMPARE(settings.renderingIntent, intent);
        QCOMPARE(store->getInt("General", "Color Management", -1), management);
        QCOMPARE(store->getInt("General", "Rendering Intent", -1), intent);
        QCOMPARE(DisplayColour::enabled(), management != 0);
        QCOMPARE(int(DisplayColour::intent()), intent);
    }

    // "적용" puts the choice into effect with the sheet still open; Cancel
    // afterwards keeps it.
    void applyTakesEffectAtOnce() {
        test::Watchdog dog(60);
        CETCPage* etc = nullptr;
        auto sheet = openOnEtcPage(etc);
        QVERIFY(sheet);
        const uint64_t before = DisplayColour::generation();
        QVERIFY(focus(etc->renderingIntent()));
        QTest::keyClick(etc->renderingIntent(), Qt::Key_Down);
        QCOMPARE(DisplayColour::intent(), Intent::Perceptual); // nothing before OK
        QTest::mouseClick(sheet->applyButton(), Qt::LeftButton);
        QCOMPARE(DisplayColour::intent(), Intent::RelativeColorimetric);
        QVERIFY(DisplayColour::generation() != before);
        QVERIFY(sheet->isVisible());
        QTest::keyClick(focused(sheet.get()), Qt::Key_Escape);
        QTRY_VERIFY(!sheet->isVisible());
        QCOMPARE(store->getInt("General", "Rendering Intent", -1), 1);
        QCOMPARE(DisplayColour::intent(), Intent::RelativeColorimetric);
    }

    void cancelChangesNothing() {
        test::Watchdog dog(60);
        CETCPage* etc = nullptr;
        auto sheet = openOnEtcPage(etc);
        QVERIFY(sheet);
        QCheckBox* box = etc->colourManagement();
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        QVERIFY(!box->isChecked());
        QTest::keyClick(focused(sheet.get()), Qt::Key_Escape);
        QTRY_VERIFY(!sheet->isVisible());
        QCOMPARE(store->getInt("General", "Color Management", -1), -1);
        QCOMPARE(settings.colourManagement, 1);
        QVERIFY(DisplayColour::enabled());
    }
};

QTEST_MAIN(TestColourPrefs)
#include "tst_colourprefs.moc"
