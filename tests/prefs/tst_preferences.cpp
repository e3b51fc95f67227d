// The preferences and about sheets driven with keys and clicks.
#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "desktop/associationlist.h"
#include "prefs/aboutsheet.h"
#include "prefs/associatepage.h"
#include "prefs/etcpage.h"
#include "prefs/preferencessheet.h"
#include "prefs/thumbnailpage.h"
#include "resources/qtstrings.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>

#include <filesystem>

using namespace kamelo;
using namespace kamelo::prefs;

class TestPreferences : public QObject {
    Q_OBJECT
    std::unique_ptr<test::ScratchDir> scratch;
    std::unique_ptr<SettingsStore> store;
    CUiSettings settings;
    bool slideOk = false;

    std::unique_ptr<CPreferencesSheet> open() {
        auto sheet = std::make_unique<CPreferencesSheet>(
            settings, *store, QString::fromStdString(scratch->file("SAMPLE.JPG")));
        sheet->show();
        if (!QTest::qWaitForWindowActive(sheet.get()))
            return nullptr;
        return sheet;
    }
    static void typeInto(QLineEdit* field, const QString& text) {
        field->setFocus();
        QTRY_VERIFY(field->hasFocus());
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Tab);
    }

private slots:
    void init() {
        scratch = std::make_unique<test::ScratchDir>();
        for (const char* d : {"config", "data", "sys"})
            std::filesystem::create_directories(scratch->file(d));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(scratch->file("config")));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(scratch->file("data")));
        qputenv("XDG_DATA_DIRS", QByteArray::fromStdString(scratch->file("sys")));
        qputenv("XDG_CONFIG_DIRS", QByteArray::fromStdString(scratch->file("sysconfig")));
        store = std::make_unique<SettingsStore>(scratch->file("config/s.sqlite"));
        settings = CUiSettings();
        slideOk = false;
        setSlideShowPageFactory({});
    }
    void cleanup() {
        store.reset();
        scratch.reset();
    }

    void pagesInOrder() {
        test::Watchdog dog(60);
        setSlideShowPageFactory([this](SettingsStore&, QWidget* parent) {
            auto* w = new QWidget(parent);
            w->setObjectName(QStringLiteral("CSlideShowPage"));
            return ForeignPage{w, [this] { slideOk = true; }};
        });
        auto sheet = open();
        QVERIFY(sheet);
        QCOMPARE(sheet->windowTitle(), QStringLiteral("환경 설정"));
        QTreeWidget* tree = sheet->findChild<QTreeWidget*>(QStringLiteral("PageTree"));
        QVERIFY(tree);
        QCOMPARE(tree->topLevelItemCount(), 4);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("미리보기 설정"));
        QCOMPARE(tree->topLevelItem(1)->text(0), QStringLiteral("파일 연결 설정"));
        QCOMPARE(tree->topLevelItem(2)->text(0), QStringLiteral("슬라이드 쇼"));
        QCOMPARE(tree->topLevelItem(3)->text(0), QStringLiteral("기타 설정"));
        QVERIFY(qobject_cast<CThumbnailPage*>(sheet->page(0)));
        QVERIFY(qobject_cast<CAssociatePage*>(sheet->page(1)));
        QCOMPARE(sheet->page(2)->objectName(), QStringLiteral("CSlideShowPage"));
        QVERIFY(qobject_cast<CETCPage*>(sheet->page(3)));
        // The tree picks the page with the keyboard.
        tree->setFocus();
        QTRY_VERIFY(tree->hasFocus());
        QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(sheet->pages()->currentIndex(), 1);
        QCOMPARE(qobject_cast<CAssociatePage*>(sheet->page(1))->list()->columnCount(), 2);
        QTest::keyClick(tree, Qt::Key_End);
        QCOMPARE(sheet->pages()->currentIndex(), 3);
        QTest::keyClick(tree, Qt::Key_Return);
        QTRY_VERIFY(!sheet->isVisible());
        QVERIFY(slideOk);
    }

    void slidersReachTheirEnds() {
        test::Watchdog dog(60);
        auto sheet = open();
        QVERIFY(sheet);
        auto* page = qobject_cast<CThumbnailPage*>(sheet->page(0));
        struct Case {
            QSlider* slider;
            std::function<int()> value;
            int home, end;
        } cases[] = {
            {page->widthSlider(), [page] { return page->thumbWidth(); }, 50, 200},
            // Inverted: Home goes to the top, the largest value.
            {page->heightSlider(), [page] { return page->thumbHeight(); }, 200, 50},
            {page->borderSlider(), [page] { return page->thumbBorder(); }, 50, 0},
        };
        for (const Case& c : cases) {
            c.slider->setFocus();
            QTRY_VERIFY(c.slider->hasFocus());
            QTest::keyClick(c.slider, Qt::Key_Home);
            QCOMPARE(c.value(), c.home);
            QTest::keyClick(c.slider, Qt::Key_End);
            QCOMPARE(c.value(), c.end);
        }
        // The top of the height slider is 200 when clicked there as well.
        QSlider* h = page->heightSlider();
        h->setPageStep(1000);
        QTest::mouseClick(h, Qt::LeftButton, {}, QPoint(h->width() / 2, 2));
        QCOMPARE(page->thumbHeight(), 200);
        QCOMPARE(page->heightField()->text(), QStringLiteral("200"));
        QTest::mouseClick(h, Qt::LeftButton, {}, QPoint(h->width() / 2, h->height() - 2));
        QCOMPARE(page->thumbHeight(), 50);
    }

    void fieldsAreClamped() {
        test::Watchdog dog(60);
        auto sheet = open();
        QVERIFY(sheet);
        auto* page = qobject_cast<CThumbnailPage*>(sheet->page(0));
        typeInto(page->widthField(), QStringLiteral("0"));
        QCOMPARE(page->widthField()->text(), QStringLiteral("50"));
        QCOMPARE(page->thumbWidth(), 50);
        typeInto(page->widthField(), QStringLiteral("99999"));
        QCOMPARE(page->widthField()->text(), QStringLiteral("200"));
        QCOMPARE(page->thumbWidth(), 200);
        typeInto(page->heightField(), QStringLiteral("x7"));
        QCOMPARE(page->thumbHeight(), 50);
        typeInto(page->heightField(), QStringLiteral("130"));
        QCOMPARE(page->thumbHeight(), 130);
        QCOMPARE(page->heightSlider()->value(), 120);
        typeInto(page->borderField(), QStringLiteral("77"));
        QCOMPARE(page->thumbBorder(), 50);
    }

    void okWritesEveryKey() {
        test::Watchdog dog(60);
        auto sheet = open();
        QVERIFY(sheet);
        auto* thumbs = qobject_cast<CThumbnailPage*>(sheet->page(0));
        typeInto(thumbs->widthField(), QStringLiteral("160"));
        typeInto(thumbs->heightField(), QStringLiteral("140"));
        typeInto(thumbs->borderField(), QStringLiteral("5"));
        thumbs->designList()->setFocus();
        QTRY_VERIFY(thumbs->designList()->hasFocus());
        QTest::keyClick(thumbs->designList(), Qt::Key_End);
        QCOMPARE(thumbs->designList()->currentText(), QStringLiteral("점선 테두리"));
        thumbs->backgroundList()->setFocus();
        QTest::keyClick(thumbs->backgroundList(), Qt::Key_Down);
        QCOMPARE(thumbs->backgroundList()->currentText(), QStringLiteral("카멜로"));

        QTreeWidget* tree = sheet->pageTree();
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_End);
        auto* etc = qobject_cast<CETCPage*>(sheet->page(sheet->pageCount() - 1));
        QCOMPARE(etc->drawingMode()->count(), 3);
        QCOMPARE(etc->drawingMode()->itemText(2), QStringLiteral("Bicubic (최고 품질, 느린 속도)"));
        etc->drawingMode()->setFocus();
        QTRY_VERIFY(etc->drawingMode()->hasFocus());
        QTest::keyClick(etc->drawingMode(), Qt::Key_End);
        for (QCheckBox* box :
             {etc->useStamp(), etc->paintWhileLoading(), etc->viewRepeat(), etc->onlyPictures()}) {
            QVERIFY(box->isChecked()); // every default is on
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
            QVERIFY(!box->isChecked());
        }
        etc->setColour(0x00112233);
        QTest::keyClick(etc->onlyPictures(), Qt::Key_Return);
        QTRY_VERIFY(!sheet->isVisible());
        QCOMPARE(sheet->result(), int(QDialog::Accepted));

        QCOMPARE(settings.thumbWidth, 160);
        QCOMPARE(settings.thumbHeight, 140);
        QCOMPARE(settings.thumbBorder, 5);
        QCOMPARE(settings.thumbDesign, 6);
        QCOMPARE(settings.backgroundDesign, 1);
        QCOMPARE(store->getInt("general", "display mode", -1), 2);
        QCOMPARE(store->getInt("general", "Use Stamp", -1), 0);
        QCOMPARE(store->getInt("general", "View Repeat", -1), 0);
        // The settings object is saved at once.
        CUiSettings saved;
        saved.load(*store);
        QCOMPARE(saved.onlyPictures, 0);
        QCOMPARE(saved.paintWhileLoading, 0);
        QCOMPARE(saved.viewerBackgroundColor, 0x00112233u);
    }

    void cancelWritesNothing() {
        test::Watchdog dog(60);
        auto sheet = open();
        QVERIFY(sheet);
        auto* thumbs = qobject_cast<CThumbnailPage*>(sheet->page(0));
        typeInto(thumbs->widthField(), QStringLiteral("199"));
        QTest::keyClick(thumbs->widthField(), Qt::Key_Escape);
        QTRY_VERIFY(!sheet->isVisible());
        QCOMPARE(settings.thumbWidth, 120);
        QCOMPARE(store->getInt("general", "display mode", -1), -1);
    }

    void aboutSheetPages() {
        CAboutSheet about;
        QCOMPARE(about.windowTitle(), QStringLiteral("카멜로"));
        QCOMPARE(about.tabs()->count(), 3);
        QCOMPARE(about.tabs()->widget(0)->objectName(), QStringLiteral("CAboutPage"));
        QCOMPARE(about.tabs()->widget(1)->objectName(), QStringLiteral("CAccelPage"));
        QCOMPARE(about.tabs()->widget(2)->objectName(), QStringLiteral("CUpdatePage"));
        auto* version = about.findChild<QLabel*>(QStringLiteral("programVersion"));
        QVERIFY(version && version->text().contains(QStringLiteral(KAMELO_TEST_VERSION)));
        auto* accel = about.tabs()->widget(1)->findChild<QPlainTextEdit*>();
        QVERIFY(accel && accel->isReadOnly());
        QVERIFY(accel->toPlainText().contains(QStringLiteral("Ctrl+O")));
        QVERIFY(!CAboutSheet::updateHistoryText().isEmpty());
    }
};

QTEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
