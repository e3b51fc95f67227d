// The preferences and about sheets driven with keys and clicks.
#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "desktop/associationlist.h"
#include "prefs/aboutsheet.h"
#include "prefs/accelpage.h"
#include "prefs/associatepage.h"
#include "prefs/etcpage.h"
#include "prefs/preferencessheet.h"
#include "prefs/thumbnailpage.h"
#include "resources/qtstrings.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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
    static QWidget* focused(QWidget* fallback) {
        QWidget* w = QApplication::focusWidget();
        return w ? w : fallback;
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
        QVERIFY(!CAboutSheet::updateHistoryText().isEmpty());
    }

    // Keys and what they do in two columns that line up, split at a tab or
    // at two spaces; mode headings span both columns.
    void shortcutListInTwoColumns() {
        test::Watchdog dog(60);
        CAboutSheet about;
        about.show();
        QVERIFY(QTest::qWaitForWindowActive(&about));
        QTest::keyClick(about.tabs()->tabBar(), Qt::Key_Right); // the focused tab bar
        QTRY_COMPARE(about.tabs()->currentIndex(), 1);
        QTreeWidget* list = about.tabs()->currentWidget()->findChild<QTreeWidget*>();
        QVERIFY(list && list->topLevelItemCount() >= 2);
        for (int s = 0; s < list->topLevelItemCount(); ++s) {
            QVERIFY(list->topLevelItem(s)->isFirstColumnSpanned());
            for (int i = 0; i < list->topLevelItem(s)->childCount(); ++i) {
                const QTreeWidgetItem* row = list->topLevelItem(s)->child(i);
                QVERIFY(!row->text(1).isEmpty());
                // Every key whole in the first column, every text after it.
                QVERIFY(list->fontMetrics().horizontalAdvance(row->text(0)) <=
                        list->columnWidth(0));
            }
        }
        CAccelPage tabbed(QStringLiteral("[모드]\nAlt+Return, Alt+Enter\t\t전체 화면\nE  편집모드"),
                          QString());
        const QTreeWidgetItem* mode = tabbed.list()->topLevelItem(0);
        QCOMPARE(mode->child(0)->text(0), QStringLiteral("Alt+Return, Alt+Enter"));
        QCOMPARE(mode->child(0)->text(1), QStringLiteral("전체 화면"));
        QCOMPARE(mode->child(1)->text(1), QStringLiteral("편집모드"));
    }

    // "적용" writes the pages' values and leaves the sheet open; it is
    // enabled only while something changed since the sheet opened or the
    // last "적용".
    void applyWritesWithoutClosing_data() {
        QTest::addColumn<int>("change");
        QTest::newRow("typed width") << 0;
        QTest::newRow("clicked check box") << 1;
        QTest::newRow("list by keys") << 2;
    }
    void applyWritesWithoutClosing() {
        QFETCH(int, change);
        test::Watchdog dog(60);
        auto sheet = open();
        QVERIFY(sheet);
        QPushButton* apply = sheet->findChild<QPushButton*>(QStringLiteral("applyButton"));
        QVERIFY(apply && !apply->isEnabled());
        QCOMPARE(apply->text(), QStringLiteral("적용"));
        int applied = 0;
        connect(sheet.get(), &CPreferencesSheet::applied, this, [&] { ++applied; });
        auto* thumbs = qobject_cast<CThumbnailPage*>(sheet->page(0));
        auto* etc = qobject_cast<CETCPage*>(sheet->page(sheet->pageCount() - 1));
        std::function<bool()> written;
        if (change == 0) {
            typeInto(thumbs->widthField(), QStringLiteral("170"));
            written = [this] { return settings.thumbWidth == 170; };
        } else {
            sheet->pageTree()->setFocus();
            QTest::keyClick(sheet->pageTree(), Qt::Key_End);
            QVERIFY(!apply->isEnabled()); // looking is no change
            if (change == 1) {
                QTest::mouseClick(etc->useStamp(), Qt::LeftButton, {},
                                  QPoint(6, etc->useStamp()->height() / 2));
                written = [this] { return store->getInt("general", "Use Stamp", -1) == 0; };
            } else {
                etc->drawingMode()->setFocus();
                QTRY_VERIFY(etc->drawingMode()->hasFocus());
                QTest::keyClick(etc->drawingMode(), Qt::Key_Down);
                written = [this] { return store->getInt("general", "display mode", -1) == 1; };
            }
        }
        QVERIFY(apply->isEnabled());
        QVERIFY(!written());
        QTest::mouseClick(apply, Qt::LeftButton);
        QVERIFY(written());
        QCOMPARE(applied, 1);
        QVERIFY(sheet->isVisible());
        QVERIFY(!apply->isEnabled());
        // Cancel now keeps what "적용" wrote.
        QTest::keyClick(focused(sheet.get()), Qt::Key_Escape);
        QTRY_VERIFY(!sheet->isVisible());
        QVERIFY(written());
    }
};

QTEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
