// The print commands of both frames, driven with real keys: without a
// printer, with a private CUPS queue, the browser's selection and the
// viewer's shown picture.
#define QTEST_QPA_MOUSE_HANDLING

#include "app/commandids.h"
#include "app/commandtable.h"
#include "print/printdialog.h"
#include "print/printpreviewworker.h"
#include "privatecups.h"
#include "resources/qtstrings.h"
#include "tests/app/programrun.h"

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>
#include <unistd.h>

using namespace kamelo;
using namespace kamelo::test;

namespace {

// Answers the modal windows that open: message boxes are noted and closed,
// the print dialog is handed to a callback.
class Answerer : public QObject {
public:
    std::function<void(PrintDialog*)> onPrintDialog;
    std::function<void(QPrintDialog*)> onPlatformDialog;
    QStringList messages;
    int printDialogs = 0;

    Answerer() {
        timer_.setInterval(30);
        connect(&timer_, &QTimer::timeout, this, [this] {
            QWidget* w = QApplication::activeModalWidget();
            if (!w || w == busy_)
                return;
            busy_ = w;
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                messages.append(box->text());
                QTest::keyClick(box, Qt::Key_Return);
            } else if (auto* d = qobject_cast<PrintDialog*>(w)) {
                ++printDialogs;
                if (onPrintDialog)
                    onPrintDialog(d);
                else
                    d->reject();
            } else if (auto* p = qobject_cast<QPrintDialog*>(w)) {
                if (onPlatformDialog)
                    onPlatformDialog(p);
                else
                    p->reject();
            }
            busy_ = nullptr;
        });
        timer_.start();
    }

private:
    QTimer timer_;
    QWidget* busy_ = nullptr;
};

} // namespace

class TestPrintCommands : public QObject {
    Q_OBJECT
    ScratchDir home_;
    CupsFolder folder_;

private slots:
    void initTestCase() {
        // libcups takes the server once per process: every test uses the
        // private scheduler's socket, running or not.
        qputenv("CUPS_SERVER", QByteArray::fromStdString(folder_.path + "/run/cups.sock"));
        qputenv("HOME", QByteArray::fromStdString(home_.path()));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home_.file("data")));
        alarm(150);
    }

    void thePrivateQueuePrintsTheSelectionAndTheShownPicture() {
        PrivateCups cups(folder_.path);
        const std::string why = folder_.path.empty() ? "no scratch folder" : cups.start();
        if (!why.empty())
            QSKIP(qPrintable(QStringLiteral("no private CUPS scheduler: ") +
                             QString::fromStdString(why)));
        ProgramRun r;
        // The list shows other files too, so that one can be selected.
        r.preset([](SettingsStore& s) { s.setInt("General", "Only Pictures", 0); });
        r.start();
        QVERIFY(r.browsePhotos());
        CThumbListCtrl* list = r.list();
        QVERIFY(r.row("notes.txt") > 0);
        clickItem(list, r.row("a.png"));
        clickItem(list, r.row("c.png"), Qt::ControlModifier);
        clickItem(list, r.row("notes.txt"), Qt::ControlModifier);
        QTRY_COMPARE(list->selectedIndexes().size(), 3);

        // Cancelled: the list held the pictures only, in list order, and is emptied.
        Answerer answer;
        std::vector<std::string> seen;
        answer.onPrintDialog = [&](PrintDialog* d) {
            seen = r.app->printFileList();
            QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("cancelButton")),
                              Qt::LeftButton);
        };
        QTest::keyClick(focused(), Qt::Key_P, Qt::ControlModifier);
        QTRY_COMPARE(answer.printDialogs, 1);
        QCOMPARE(seen, (std::vector<std::string>{r.photo("a.png").toStdString(),
                                                 r.photo("c.png").toStdString()}));
        QTRY_VERIFY(r.app->printFileList().empty());
        // The frame has the keyboard again once the dialog is gone.
        QApplication::setActiveWindow(r.frame());
        QTRY_VERIFY(QApplication::focusWidget());

        // Printed: the dialog's button, then the platform's dialog with Return.
        answer.onPrintDialog = [](PrintDialog* d) {
            QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("printButton")),
                              Qt::LeftButton);
        };
        QString title;
        answer.onPlatformDialog = [&title](QPrintDialog* p) {
            title = p->printer()->docName();
            QWidget* key = p->focusWidget() ? p->focusWidget() : p;
            QTest::keyClick(key, Qt::Key_Return);
        };
        QTest::keyClick(focused(), Qt::Key_P, Qt::ControlModifier);
        QTRY_COMPARE(answer.printDialogs, 2);
        QTRY_COMPARE(title, QStringLiteral("a.png외 1개"));
        QVERIFY(cups.waitIdle());
        QCOMPARE(QString::fromStdString(pdfInfoField(cups.output(), "Pages")), QStringLiteral("2"));
        QVERIFY(r.app->printFileList().empty());
        QVERIFY(answer.messages.isEmpty());

        // The viewer prints the picture it shows after paging.
        std::filesystem::remove(cups.output());
        QApplication::setActiveWindow(r.frame());
        clickItem(list, r.row("a.png"));
        QTest::keyClick(focused(), Qt::Key_Return);
        CShowFrame* viewer = r.viewer();
        QVERIFY(viewer);
        QTest::keyClick(focused(), Qt::Key_Space);
        QTRY_COMPARE(QString::fromStdString(r.app->doc().list().currentPath()), r.photo("b.png"));
        title.clear();
        QTRY_VERIFY(viewer->commands()->action(cmd::kViewerPrint)->isEnabled());
        QTRY_VERIFY(QApplication::focusWidget());
        QTest::keyClick(focused(), Qt::Key_P, Qt::ControlModifier);
        QTRY_COMPARE(title, QStringLiteral("b.png"));
        QVERIFY(cups.waitIdle());
        QCOMPARE(QString::fromStdString(pdfInfoField(cups.output(), "Pages")), QStringLiteral("1"));
        r.stop();
    }

    // The dialog shows the queue's own paper (Letter by its PPD) and lays the
    // preview out for it; another paper chosen with the keys re-draws it, and
    // the job comes out on the paper shown, titled as the dialog said.
    void theDialogShowsAndPrintsThePaperOfTheQueue() {
        PrivateCups cups(folder_.path);
        const std::string why = folder_.path.empty() ? "no scratch folder" : cups.start("Letter");
        if (!why.empty())
            QSKIP(qPrintable(QStringLiteral("no private CUPS scheduler: ") +
                             QString::fromStdString(why)));
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        clickItem(r.list(), r.row("a.png"));
        clickItem(r.list(), r.row("b.png"), Qt::ControlModifier);
        struct Seen {
            QString paper, width, height;
            double aspect = 0; // of the paper in the preview
        };
        QList<Seen> seen;
        auto look = [&seen](PrintDialog* d) {
            auto text = [d](int id) {
                QWidget* w = d->findChild<QWidget*>(QStringLiteral("info%1").arg(id));
                if (auto* c = qobject_cast<QComboBox*>(w))
                    return c->currentData().toString();
                return qobject_cast<QLabel*>(w)->text();
            };
            QTRY_VERIFY(!d->previewImage().isNull() &&
                        d->shownGeneration() == d->previewWorker()->generation());
            seen.append({text(res::IDS_PRINT_PAPER_TYPE), text(res::IDS_PRINT_PAPER_WIDTH),
                         text(res::IDS_PRINT_PAPER_HEIGHT),
                         double(d->previewImage().height()) / d->previewImage().width()});
        };
        Answerer answer;
        answer.onPrintDialog = [&](PrintDialog* d) {
            look(d);
            auto* paper = d->findChild<QComboBox*>(QStringLiteral("info108102"));
            paper->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), paper);
            for (int i = 0; i < paper->count() && paper->currentData() != "A4"; ++i)
                QTest::keyClick(paper, paper->findData("A4") < paper->currentIndex()
                                           ? Qt::Key_Up
                                           : Qt::Key_Down);
            look(d);
            QTest::mouseClick(d->findChild<QRadioButton*>(QStringLiteral("radioSheet")),
                              Qt::LeftButton, {}, QPoint(8, 8));
            QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("printButton")),
                              Qt::LeftButton);
        };
        answer.onPlatformDialog = [](QPrintDialog* p) {
            QTest::keyClick(p->focusWidget() ? p->focusWidget() : p, Qt::Key_Return);
        };
        QTest::keyClick(focused(), Qt::Key_P, Qt::ControlModifier);
        QTRY_COMPARE(answer.printDialogs, 1);
        QVERIFY(cups.waitIdle());
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[0].paper, QStringLiteral("Letter"));
        QCOMPARE(seen[0].width, QStringLiteral("215.0 mm"));
        QCOMPARE(seen[0].height, QStringLiteral("279.0 mm"));
        QVERIFY(std::abs(seen[0].aspect - 279.0 / 215) < 0.02);
        QCOMPARE(seen[1].paper, QStringLiteral("A4"));
        QCOMPARE(seen[1].width, QStringLiteral("210.0 mm"));
        QCOMPARE(seen[1].height, QStringLiteral("297.0 mm"));
        QVERIFY(std::abs(seen[1].aspect - 297.0 / 210) < 0.02);
        QCOMPARE(QString::fromStdString(pdfInfoField(cups.output(), "Page size")),
                 QStringLiteral("595 x 842 pts (A4)"));
        QCOMPARE(QString::fromStdString(pdfInfoField(cups.output(), "Title")),
                 QStringLiteral("여러장 찍기"));
        QVERIFY(answer.messages.isEmpty());
        r.stop();
    }

    void withoutAPrinterNothingOpens() {
        // The same socket as the queue above, with no scheduler behind it now.
        ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        clickItem(r.list(), r.row("a.png"));
        QTRY_VERIFY(r.frame()->commands()->action(cmd::kPrint)->isEnabled());
        Answerer answer;
        QTest::keyClick(focused(), Qt::Key_P, Qt::ControlModifier);
        QTRY_COMPARE(answer.messages, QStringList{QStringLiteral("설치된 프린터가 없습니다.")});
        QCOMPARE(answer.printDialogs, 0);
        QVERIFY(r.app->printFileList().empty());
        r.stop();
    }
};

QTEST_MAIN(TestPrintCommands)
#include "tst_printcommands.moc"
