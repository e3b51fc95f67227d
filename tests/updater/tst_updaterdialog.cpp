#include "publish.h"
#include "serverprocess.h"
#include "tests/support/modalscript.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"
#include "updater/messagebox.h"
#include "updater/updaterdialog.h"
#include "updater/webfiledownload.h"

#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <unistd.h>

using namespace vela;
using kamelo::test::activeModal;
using kamelo::test::readFile;
using kamelo::test::Script;
using kamelo::test::writeFile;

namespace {

struct FakeSystem : SystemActions {
    std::vector<std::vector<std::string>> started;
    bool startDetached(const std::vector<std::string>& argv) override {
        started.push_back(argv);
        return true;
    }
    bool runAtNextLogon(const std::string&) override { return true; }
    bool requestReboot() override { return false; }
};

template <class F> void waitFor(F done) {
    while (!done())
        QTest::qWait(20);
}

template <class T> T* child(QWidget* w, const char* name) {
    return w->findChild<T*>(QString::fromLatin1(name));
}

bool isBold(QLabel* l) {
    return l->font().weight() == QFont::Bold;
}

} // namespace

class TestUpdaterDialog : public QObject {
    Q_OBJECT
private slots:
    void layoutFormulas();
    void titleStripGradient();
    void yesNoBoxKeysAndResults();
    void okBoxIgnoresEscape();
    void timedNoticeCountsDownAndCloses();
    void dialogRunsThePhasesByItself();
    void manualModeAsksWithTheModalBox();
    void exitStopsTheDownload();
    void failuresWarnAndUnattendedBoxesTakeTheirSafeAnswer();

private:
    kamelo::test::Watchdog watchdog_{240};
};

void TestUpdaterDialog::layoutFormulas() {
    MessageBoxLayout l = messageBoxLayout(200, 40, kBoxOk, false);
    QCOMPARE(l.window, QSize(282, 150));
    QCOMPARE(l.strip, QRect(5, 5, 272, 20));
    QCOMPARE(l.frame, QRect(7, 30, 262, 80));
    QCOMPARE(l.icon, QRect(17, 54, 32, 32));
    QCOMPARE(l.text, QRect(59, 50, 200, 40));
    QCOMPARE(l.buttonCount, 1);
    QCOMPARE(l.buttons[0], QRect(194, 115, 70, 25));
    // Narrow, one-line text: at least 50 wide, at least 32 high.
    l = messageBoxLayout(10, 16, kBoxOkCancel, false);
    QCOMPARE(l.window, QSize(132, 142));
    QCOMPARE(l.text, QRect(59, 58, 50, 16));
    QCOMPARE(l.icon, QRect(17, 50, 32, 32));
    QCOMPARE(l.buttons[0], QRect(-31, 107, 70, 25));
    QCOMPARE(l.buttons[1], QRect(44, 107, 70, 25));
    l = messageBoxLayout(100, 16, kBoxYesNo, false);
    QCOMPARE(l.buttons[0], QRect(19, 107, 70, 25));
    QCOMPARE(l.buttons[1], QRect(94, 107, 70, 25));
    // No buttons: a shorter window.
    l = messageBoxLayout(100, 16, kBoxOk, true);
    QCOMPARE(l.window, QSize(182, 117));
    QCOMPARE(l.buttonCount, 0);

    // A real box places its parts by the formulas of its measured text.
    MessageBox box(nullptr, QStringLiteral("첫 줄\n둘째 줄은 조금 더 깁니다"), QString(),
                   kBoxOkCancel);
    const MessageBoxLayout& m = box.boxLayout();
    QCOMPARE(box.size(), m.window);
    QCOMPARE(box.textLabel()->geometry(), m.text);
    QCOMPARE(box.button(0)->geometry(), m.buttons[0]);
    QCOMPARE(box.button(1)->geometry(), m.buttons[1]);
    QCOMPARE(box.button(0)->text(), QStringLiteral("확인"));
    QCOMPARE(box.button(1)->text(), QStringLiteral("취소"));
    QCOMPARE(box.windowTitle(), QStringLiteral("VELA UPDATE"));
}

void TestUpdaterDialog::titleStripGradient() {
    QCOMPARE(titleStripColour(0, 101), QColor(0, 0, 200));
    QCOMPARE(titleStripColour(100, 101), QColor(140, 161, 255));
    QCOMPARE(titleStripColour(50, 101), QColor(70, 80, 227));
    MessageBox box(nullptr, QStringLiteral("x"), QStringLiteral("제목"), kBoxOk);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    const QImage shot = box.grab().toImage();
    const MessageBoxLayout& l = box.boxLayout();
    QCOMPARE(QColor(shot.pixel(l.strip.left(), l.strip.bottom())), QColor(0, 0, 200));
    QCOMPARE(QColor(shot.pixel(l.strip.right(), l.strip.bottom())), QColor(140, 161, 255));
}

void TestUpdaterDialog::yesNoBoxKeysAndResults() {
    int result = 0;
    Script enter({{[] { return activeModal<MessageBox>() != nullptr; },
                   [] {
                       auto* box = activeModal<MessageBox>();
                       QCOMPARE(box->button(0)->text(), QStringLiteral("예"));
                       QCOMPARE(box->button(1)->text(), QStringLiteral("아니오"));
                       QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                   }}});
    result = MessageBox::ask(nullptr, QStringLiteral("지금?"), kBoxYesNo);
    QCOMPARE(result, int(kIdYes));

    Script escape({{[] { return activeModal<MessageBox>() != nullptr; },
                    [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); }}});
    QCOMPARE(MessageBox::ask(nullptr, QStringLiteral("지금?"), kBoxYesNo), int(kIdNo));

    // Tab moves to the second button; Enter presses it.
    Script tab({{[] { return activeModal<MessageBox>() != nullptr; },
                 [] {
                     QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                     QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                 }}});
    QCOMPARE(MessageBox::ask(nullptr, QStringLiteral("지금?"), kBoxYesNo), int(kIdNo));

    // Dragged by its body.
    Script drag({{[] { return activeModal<MessageBox>() != nullptr; },
                  [] {
                      auto* box = activeModal<MessageBox>();
                      const QPoint before = box->pos();
                      const QPoint at = box->boxLayout().frame.center();
                      QTest::mousePress(box, Qt::LeftButton, {}, at);
                      QMouseEvent move(QEvent::MouseMove, QPointF(at + QPoint(30, 20)),
                                       QPointF(box->mapToGlobal(at + QPoint(30, 20))), Qt::NoButton,
                                       Qt::LeftButton, Qt::NoModifier);
                      QApplication::sendEvent(box, &move);
                      QTest::mouseRelease(box, Qt::LeftButton, {}, at + QPoint(30, 20));
                      QCOMPARE(box->pos(), before + QPoint(30, 20));
                      QTest::mouseClick(box->button(1), Qt::LeftButton);
                  }}});
    QCOMPARE(MessageBox::ask(nullptr, QStringLiteral("지금?"), kBoxOkCancel), int(kIdCancel));
}

void TestUpdaterDialog::okBoxIgnoresEscape() {
    bool stillOpen = false;
    Script s({{[] { return activeModal<MessageBox>() != nullptr; },
               [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); }},
              {[] { return true; },
               [&] {
                   stillOpen = activeModal<MessageBox>() != nullptr;
                   QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
               }}});
    QCOMPARE(MessageBox::ask(nullptr, QStringLiteral("끝"), kBoxOk), int(kIdOk));
    QVERIFY(stillOpen);
}

void TestUpdaterDialog::timedNoticeCountsDownAndCloses() {
    KMessageBoxWnd box(nullptr, QStringLiteral("%d초 후에 닫습니다"), QString(), kBoxOk,
                       kNoticeCountDown, 2);
    QCOMPARE(box.objectName(), QStringLiteral("KMessageBoxWnd"));
    QCOMPARE(box.textLabel()->text(), QStringLiteral("2초 후에 닫습니다"));
    QVERIFY(box.button(0));
    bool finished = false;
    int result = 0;
    connect(&box, &QDialog::finished, this, [&](int r) {
        finished = true;
        result = r;
    });
    box.show();
    waitFor([&] { return box.textLabel()->text() == QStringLiteral("1초 후에 닫습니다"); });
    waitFor([&] { return finished; });
    QCOMPARE(result, int(kIdOk));

    // The updater's notices: no buttons, gone after one second.
    KMessageBoxWnd quiet(nullptr, QStringLiteral("알림"), QString(), kBoxOk,
                         kNoticeCountDown | kNoticeNoButtons, 1);
    QVERIFY(!quiet.button(0));
    QCOMPARE(quiet.height(), quiet.boxLayout().window.height());
    QCOMPARE(KMessageBoxWnd::notice(nullptr, QStringLiteral("임시파일을 생성합니다.")), int(kIdOk));
}

namespace {

struct Published {
    kamelo::test::ScratchDir install, www;
    vela::test::ServerProcess server;
    std::string inst;
    bool start(bool slow) {
        std::string why;
        if (!server.start(
                {vela::test::systemPython(), vela::test::serverScript("httpserver.py"), www.path()},
                why))
            return false;
        inst = install.path() + "/";
        vela::test::writeServerList(install.path(), server.port());
        vela::test::publish(www.path(), server.port(),
                            {{"a.dll", vela::test::patterned(slow ? 400000 : 3000, 1)},
                             {"b.dll", vela::test::patterned(300, 2), true}},
                            "");
        if (slow) {
            // Files served 512 bytes at a time.
            std::string list = readFile(www.path() + "/list.ini");
            const std::string from = "/files/";
            list.replace(list.find(from), from.size(), "/slow/files/");
            writeFile(www.path() + "/list.ini", list);
        }
        return true;
    }
};

} // namespace

void TestUpdaterDialog::dialogRunsThePhasesByItself() {
    Published pub;
    QVERIFY(pub.start(false));
    FakeSystem system;
    UpdaterDialog dialog({"/opt/kamelo/kamelo", "/auto"}, system, pub.inst);
    QCOMPARE(dialog.objectName(), QStringLiteral("VelaUpdate1.x"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("VELA UPDATE 1,7,0,1"));
    QVERIFY(dialog.automatic());
    QCOMPARE(dialog.programToRestart(), std::string("/opt/kamelo/kamelo"));
    QCOMPARE(child<QPushButton>(&dialog, "ctl1013")->text(), QStringLiteral("업데이트 시작(&S)"));
    QCOMPARE(child<QPushButton>(&dialog, "ctl1009")->text(), QStringLiteral("종료(&C)"));
    QCOMPARE(child<QPushButton>(&dialog, "ctl1010")->text(), QStringLiteral("TEST"));
    auto* step1 = child<QLabel>(&dialog, "ctl1003");
    auto* step2 = child<QLabel>(&dialog, "ctl1004");
    auto* step3 = child<QLabel>(&dialog, "ctl1005");
    QCOMPARE(step1->text(), QStringLiteral("1. 업데이트 할 파일 목록 확인"));
    QCOMPARE(step2->text(), QStringLiteral("2. 업데이트 할 파일 다운로드"));
    QCOMPARE(step3->text(), QStringLiteral("3. 다운 받은 파일로 프로그램 업데이트"));
    QVERIFY(isBold(step1) && !isBold(step2) && !isBold(step3));
    auto* list = child<QTreeWidget>(&dialog, "ctl1002");
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("파일 이름"));
    QCOMPARE(list->headerItem()->text(1), QStringLiteral("크기"));
    QCOMPARE(list->headerItem()->text(2), QStringLiteral("버전"));
    QCOMPARE(list->columnWidth(1), 75);
    QCOMPARE(list->columnWidth(2), 75);
    QVERIFY(access((pub.inst + "__TEMP__").c_str(), F_OK) == 0);

    std::vector<int> boldSteps;
    bool finished = false;
    connect(&dialog, &QDialog::finished, this, [&] { finished = true; });
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.activateWindow();
    // Enter and Escape do nothing.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QTest::keyClick(&dialog, Qt::Key_Return);
    QVERIFY(dialog.isVisible());
    waitFor([&] {
        const int bold = isBold(step1) ? 1 : isBold(step2) ? 2 : isBold(step3) ? 3 : 0;
        if (boldSteps.empty() || boldSteps.back() != bold)
            boldSteps.push_back(bold);
        return finished;
    });
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(boldSteps.front(), 1);
    QCOMPARE(boldSteps.back(), 3);
    QVERIFY(!child<QPushButton>(&dialog, "ctl1013")->isEnabled());
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("a.dll"));
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("2Kb "));
    QCOMPARE(list->topLevelItem(1)->text(1), QStringLiteral("1Kb "));
    QCOMPARE(list->topLevelItem(1)->text(2), QStringLiteral("1.0.2"));
    QCOMPARE(child<QLabel>(&dialog, "ctl1007")->text(), QStringLiteral("b.dll.gz"));
    QCOMPARE(child<QProgressBar>(&dialog, "ctl1001")->value(), 100);
    QCOMPARE(child<QLabel>(&dialog, "ctl1006")->text(), QStringLiteral("파일 전송 종료"));
    QVERIFY(readFile(pub.inst + "a.dll") == vela::test::patterned(3000, 1));
    QCOMPARE(system.started.size(), size_t(1));
    QVERIFY(access((pub.inst + "__TEMP__").c_str(), F_OK) != 0);
}

void TestUpdaterDialog::manualModeAsksWithTheModalBox() {
    Published pub;
    QVERIFY(pub.start(false));
    FakeSystem system;
    UpdaterDialog dialog({"/opt/kamelo/kamelo"}, system, pub.inst);
    QVERIFY(!dialog.automatic());
    QString shown;
    Script s({{[] { return activeModal<MessageBox>() != nullptr; },
               [&] {
                   auto* box = activeModal<MessageBox>();
                   shown = box->textLabel()->text();
                   QCOMPARE(box->objectName(), QString());
                   QTest::mouseClick(box->button(0), Qt::LeftButton);
               }}});
    dialog.show();
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(shown, QStringLiteral("업데이트가 완료 되었습니다."));
}

void TestUpdaterDialog::exitStopsTheDownload() {
    Published pub;
    QVERIFY(pub.start(true));
    FakeSystem system;
    webFileStoppedMarker().store(0);
    auto* dialog = new UpdaterDialog({"/auto"}, system, pub.inst);
    bool finished = false;
    int result = -1;
    connect(dialog, &QDialog::finished, this, [&](int r) {
        finished = true;
        result = r;
    });
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    auto* progress = child<QProgressBar>(dialog, "ctl1001");
    waitFor([&] {
        return child<QLabel>(dialog, "ctl1007")->text() == QStringLiteral("a.dll") &&
               progress->value() > 0;
    });
    QTest::keyClick(dialog, Qt::Key_Escape);
    QVERIFY(dialog->isVisible());
    QTest::mouseClick(child<QPushButton>(dialog, "ctl1009"), Qt::LeftButton);
    QVERIFY(finished);
    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(!dialog->isVisible());
    // The worker obeys at its next block.
    waitFor([] { return webFileStoppedMarker().load() != 0; });
    delete dialog;
    QVERIFY(access((pub.inst + "__TEMP__").c_str(), F_OK) != 0);
    QVERIFY(access((pub.inst + "a.dll").c_str(), F_OK) != 0);
    QVERIFY(system.started.empty());
}

void TestUpdaterDialog::failuresWarnAndUnattendedBoxesTakeTheirSafeAnswer() {
    // Nobody answers: OK, Cancel and No.
    QCOMPARE(MessageBox::ask(nullptr, QStringLiteral("x"), kBoxOk, QString(), kIconWarning, 50),
             int(kIdOk));
    QCOMPARE(
        MessageBox::ask(nullptr, QStringLiteral("x"), kBoxOkCancel, QString(), kIconWarning, 50),
        int(kIdCancel));
    QCOMPARE(MessageBox::ask(nullptr, QStringLiteral("x"), kBoxYesNo, QString(), kIconByType, 50),
             int(kIdNo));

    // A run whose list is missing ends with the warning box.
    Published pub;
    QVERIFY(pub.start(false));
    ::unlink((pub.www.path() + "/list.ini").c_str());
    FakeSystem system;
    UpdaterDialog dialog({"/opt/kamelo/kamelo"}, system, pub.inst);
    QString shown;
    int icon = -1;
    Script s({{[] { return activeModal<MessageBox>() != nullptr; },
               [&] {
                   auto* box = activeModal<MessageBox>();
                   shown = box->textLabel()->text();
                   icon = box->iconKind();
                   QTest::mouseClick(box->button(0), Qt::LeftButton);
               }}});
    dialog.show();
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QCOMPARE(shown, QStringLiteral("서버에서 파일 목록을 받아올 수 없습니다."));
    QCOMPARE(icon, int(kIconWarning));
}

QTEST_MAIN(TestUpdaterDialog)
#include "tst_updaterdialog.moc"
