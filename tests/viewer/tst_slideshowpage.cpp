// The slide show settings page driven by mouse and keyboard.
#include "base/settingsstore.h"
#include "resources/qtstrings.h"
#include "tests/support/scratchdir.h"
#include "viewer/slideshowpage.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>
#include <QtTest>

#include <unistd.h>

using namespace kamelo;

namespace {

QStringList checks(QTreeWidget* list) {
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << (list->topLevelItem(i)->checkState(0) == Qt::Checked ? "1" : "0");
    return out;
}

void clickItem(QTreeWidget* list, int row) {
    const QRect r = list->visualItemRect(list->topLevelItem(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

} // namespace

class TestSlideShowPage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { alarm(120); }

    void controlsFollowTheSettings() {
        kamelo::test::ScratchDir dir;
        SettingsStore store(dir.file("k.sqlite"));
        store.setInt("Slide Show", "Effect 2", 0);
        store.setInt("Slide Show", "Effect 5", 0);
        store.setInt("Slide Show", "Delay Time", 4500);
        CSlideShowPage page(store, nullptr, QString::fromUtf8(KAMELO_SLIDES_DIR));
        page.resize(640, 400);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QCOMPARE(page.windowTitle(), QStringLiteral("슬라이드쇼 설정"));
        QCOMPARE(page.intervalEdit()->text(), QStringLiteral("4500"));
        QTreeWidget* list = page.effectList();
        QCOMPARE(list->columnCount(), 1);
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("효과"));
        const QStringList names = {"FADE", "밀어내기", "픽셀 효과", "4방향 효과",
                                   "원",   "사각형",   "블라인드",  "픽셀 떨어뜨리기"};
        for (int i = 0; i < 8; ++i)
            QCOMPARE(list->topLevelItem(i)->text(0), names[i]);
        QCOMPARE(checks(list), QStringList({"1", "1", "0", "1", "1", "0", "1", "1"}));
        // One column as wide as the list minus a scroll bar.
        const int bar = list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
        QCOMPARE(list->header()->sectionSize(0), list->width() - 2 * list->frameWidth() - bar);
        QCOMPARE(page.effectName()->text(), QStringLiteral("효과없음"));
        for (const char* text : {"ms", "* 1000ms = 1초",
                                 "* 선택된 효과들은 임의의 순서로 "
                                 "슬라이드쇼에 적용됩니다."}) {
            bool found = false;
            for (QLabel* l : page.findChildren<QLabel*>())
                found = found || l->text() == QString::fromUtf8(text);
            QVERIFY2(found, text);
        }
        // The sample pictures beside the program are shown.
        QVERIFY(!page.previewFrame().isNull());
        QVERIFY(page.previewFrame().pixel(100, 75) != qRgb(0, 0, 0));
    }

    void selectAllClearAllAndOkWritesNineValues() {
        kamelo::test::ScratchDir dir;
        SettingsStore store(dir.file("k.sqlite"));
        store.setInt("Slide Show", "Effect 3", 0);
        CSlideShowPage page(store, nullptr, QString::fromUtf8(KAMELO_SLIDES_DIR));
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QTreeWidget* list = page.effectList();
        QTest::mouseClick(page.clearAllButton(), Qt::LeftButton);
        QCOMPARE(checks(list), QStringList(8, "0"));
        QTest::mouseClick(page.selectAllButton(), Qt::LeftButton);
        QCOMPARE(checks(list), QStringList(8, "1"));
        // Space on the current item turns its check box.
        clickItem(list, 6);
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(checks(list), QStringList({"1", "1", "1", "1", "1", "1", "0", "1"}));
        // Digits only, at most nine.
        QLineEdit* edit = page.intervalEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, "3a5-00");
        QCOMPARE(edit->text(), QStringLiteral("3500"));
        page.apply();
        QCOMPARE(store.getInt("Slide Show", "Delay Time", 0), 3500);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(store.getInt("Slide Show", "Effect " + std::to_string(i), -1), i == 6 ? 0 : 1);
        edit->selectAll();
        QTest::keyClicks(edit, "12345678901234");
        QCOMPARE(edit->text(), QStringLiteral("123456789"));
        page.apply();
        QCOMPARE(store.getInt("Slide Show", "Delay Time", 0), 123456789);
        // An empty field keeps the stored value.
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QCOMPARE(edit->text(), QString());
        page.apply();
        QCOMPARE(store.getInt("Slide Show", "Delay Time", 0), 123456789);
    }

    void aClickPicksThePreviewedEffectOrNone() {
        kamelo::test::ScratchDir dir;
        SettingsStore store(dir.file("k.sqlite"));
        CSlideShowPage page(store, nullptr, QString::fromUtf8(KAMELO_SLIDES_DIR));
        page.resize(640, 500);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QTreeWidget* list = page.effectList();
        clickItem(list, 1);
        QCOMPARE(page.previewedEffect(), 1);
        QCOMPARE(page.effectName()->text(), QStringLiteral("밀어내기"));
        clickItem(list, 7);
        QCOMPARE(page.effectName()->text(), QStringLiteral("픽셀 떨어뜨리기"));
        // Below the last item: no effect.
        const QRect last = list->visualItemRect(list->topLevelItem(7));
        QVERIFY(last.bottom() + 10 < list->viewport()->height());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          QPoint(last.center().x(), last.bottom() + 8));
        QCOMPARE(page.previewedEffect(), -1);
        QCOMPARE(page.effectName()->text(), QStringLiteral("효과없음"));
    }

    void theSamplesCycleAndTheFadePlaysItsSteps() {
        kamelo::test::ScratchDir dir;
        SettingsStore store(dir.file("k.sqlite"));
        store.setInt("Slide Show", "Delay Time", 900);
        CSlideShowPage page(store, nullptr, QString::fromUtf8(KAMELO_SLIDES_DIR));
        page.resize(640, 400);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QCOMPARE(page.slideIndex(), 0);
        clickItem(page.effectList(), 0); // FADE
        QCOMPARE(page.effectName()->text(), QStringLiteral("FADE"));
        std::vector<int> shown;
        std::vector<int> frames;
        connect(&page, &CSlideShowPage::slideChanged, this, [&](int index) {
            shown.push_back(index);
            frames.push_back(page.lastChangeFrames());
        });
        QTRY_VERIFY_WITH_TIMEOUT(shown.size() >= 4, 20000);
        QCOMPARE(std::vector<int>(shown.begin(), shown.begin() + 4),
                 (std::vector<int>{1, 2, 0, 1}));
        // Each change ran its 26 steps (255, 245, ... 15, 0) before the next.
        for (size_t i = 1; i < 4; ++i)
            QCOMPARE(frames[i], 26);
    }
};

QTEST_MAIN(TestSlideShowPage)
#include "tst_slideshowpage.moc"
