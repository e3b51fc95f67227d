#include "base/settingsstore.h"
#include "edit/batchlog.h"
#include "edit/batchprogressdialog.h"
#include "edit/batchworker.h"
#include "edit/conversioncommands.h"
#include "edit/convertformatdialog.h"
#include "imaging/picturefile.h"
#include "imaging/picturesaver.h"
#include "resources/qtstrings.h"
#include "tests/support/modalscript.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <functional>
#include <semaphore>
#include <thread>

using namespace kamelo;
using namespace kamelo::edit;
using kamelo::test::activeModal;
using kamelo::test::ScratchDir;
using kamelo::test::Script;
namespace fs = std::filesystem;

namespace {

QMessageBox* openPrompt() {
    auto* box = activeModal<QMessageBox>();
    return box && box->objectName() == QLatin1String("overwritePrompt") ? box : nullptr;
}

BatchProgressDialog* openProgress() {
    return activeModal<BatchProgressDialog>();
}

QString logOf(QWidget* dialog) {
    return dialog->findChild<QPlainTextEdit*>(QStringLiteral("log"))->toPlainText();
}

QPushButton* buttonOf(QWidget* dialog) {
    return dialog->findChild<QPushButton*>(QStringLiteral("button"));
}

void saveBmp(const std::string& path, int w = 24, int h = 16) {
    imaging::Bitmap b;
    QVERIFY(b.create(w, h, 0x336699) == 1);
    QVERIFY(imaging::PictureSaver::save(b, path, imaging::saveformat::kBmp, 2) == 1);
}

void keyToFocus(int key) {
    QWidget* w = QApplication::focusWidget();
    QVERIFY(w);
    QTest::keyClick(w, Qt::Key(key));
}

} // namespace

class TestBatchDialogs : public QObject {
    Q_OBJECT
private slots:
    void convertDialogFollowsTheFormatAndStoresOnOk();
    void overwritePromptAnswersByKeyAndMouse();
    void cancelEndsTheRunAndKeepsWholeFiles();
    void closingWhileThePromptIsOpenDoesNotHang();
    void showsTheFileInWorkAndMovesWithinIt();
};

void TestBatchDialogs::convertDialogFollowsTheFormatAndStoresOnOk() {
    ScratchDir dir;
    SettingsStore store(dir.file("s.sqlite"));
    store.setInt("General", "Jpeg Quality Slider Pos", 8);
    const std::string a = dir.file("a.bmp");
    saveBmp(a);
    QSlider* slider = nullptr;
    QLabel* name = nullptr;
    bool disabledFirst = false;
    Script script({
        {[] { return activeModal<ConvertFormatDialog>(); },
         [&] {
             QWidget* d = QApplication::activeModalWidget();
             slider = d->findChild<QSlider*>(QStringLiteral("quality"));
             name = d->findChild<QLabel*>(QStringLiteral("qualityName"));
             disabledFirst = !slider->isEnabled();
             // The format list has the focus: Down chooses JPG.
             keyToFocus(Qt::Key_Down);
             QVERIFY(slider->isEnabled());
             QCOMPARE(name->text(), res::qtext(61522));
             // Tab to the slider, one step right: "최상".
             keyToFocus(Qt::Key_Tab);
             QCOMPARE(QApplication::focusWidget(), slider);
             keyToFocus(Qt::Key_Right);
             QCOMPARE(name->text(), res::qtext(61523));
             // Enter takes the default button.
             keyToFocus(Qt::Key_Return);
         }},
        {[] { return openProgress() && buttonOf(openProgress())->text() == res::qtext(61525); },
         [] { QTest::mouseClick(buttonOf(openProgress()), Qt::LeftButton); }},
    });
    kamelo::test::Watchdog dog(60);
    int stoppedCount = -1;
    QObject context;
    ConversionCommands::convertFiles(nullptr, store, {a}, true, &context,
                                     [&](int count) { stoppedCount = count; });
    QVERIFY(script.done());
    QVERIFY(disabledFirst);
    QCOMPARE(store.getInt("General", "Convert Format Selected", -1), 1);
    QCOMPARE(store.getInt("General", "Jpeg Quality Slider Pos", -1), 9);
    imaging::FileInfo info;
    QCOMPARE(imaging::PictureFile::readInfo(dir.file("a.JPG"), info), 1);
    QCOMPARE(info.format, imaging::PictureFormat::Jpeg);
    QTRY_COMPARE(stoppedCount, 1);
}

void TestBatchDialogs::overwritePromptAnswersByKeyAndMouse() {
    ScratchDir dir;
    BatchJob job;
    fs::create_directories(dir.file("out"));
    for (const char* n : {"1.bmp", "2.bmp", "3.bmp", "4.bmp"}) {
        job.sources.push_back(dir.file(std::string("in/") + n));
        fs::create_directories(dir.file("in"));
        saveBmp(job.sources.back());
        kamelo::test::writeFile(dir.file(std::string("out/") + n), "old");
    }
    job.mode = DestinationMode::Folder;
    job.folder = dir.file("out");
    Script script({
        // Escape on the first question keeps 1.bmp.
        {[] { return openPrompt(); }, [] { keyToFocus(Qt::Key_Escape); }},
        // "예" by keyboard: it is the default button.
        {[] { return openPrompt(); }, [] { keyToFocus(Qt::Key_Return); }},
        // "모두 예" with the mouse answers the rest.
        {[] { return openPrompt(); },
         [] {
             QTest::mouseClick(openPrompt()->findChild<QPushButton*>(QStringLiteral("yesToAll")),
                               Qt::LeftButton);
         }},
        {[] { return openProgress() && buttonOf(openProgress())->text() == res::qtext(61525); },
         [] {
             QWidget* b = buttonOf(openProgress());
             QCOMPARE(QApplication::focusWidget(), b);
             keyToFocus(Qt::Key_Space);
         }},
    });
    kamelo::test::Watchdog dog(60);
    BatchProgressDialog dialog(QStringLiteral("크기 변환"), job);
    dialog.exec();
    QVERIFY(script.done());
    QCOMPARE(kamelo::test::readFile(dir.file("out/1.bmp")), std::string("old"));
    for (const char* n : {"2.bmp", "3.bmp", "4.bmp"})
        QVERIFY(kamelo::test::readFile(dir.file(std::string("out/") + n)) != "old");
    const QStringList lines = logOf(&dialog).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 4); // three files and "완료"; the skipped one has no line
    QCOMPARE(lines[0], QString::fromStdString(job.sources[1] + " -> " + dir.file("out/2.bmp")));
    QCOMPARE(lines[3], res::qtext(61524));
}

void TestBatchDialogs::cancelEndsTheRunAndKeepsWholeFiles() {
    ScratchDir dir;
    BatchJob job;
    for (int i = 0; i < 30; ++i) {
        job.sources.push_back(dir.file(std::to_string(i) + ".bmp"));
        saveBmp(job.sources.back(), 64, 64);
    }
    job.convertTo = kConversionFormats[3]; // PNG
    job.step = [](imaging::Bitmap&, const std::any*, std::string&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        return 1;
    };
    QString logAtCancel;
    Script script({
        {[] { return openProgress() && !logOf(openProgress()).isEmpty(); },
         [&] {
             logAtCancel = logOf(openProgress());
             QTest::mouseClick(buttonOf(openProgress()), Qt::LeftButton);
         }},
    });
    kamelo::test::Watchdog dog(60);
    int stopped = 0;
    QObject context;
    {
        BatchProgressDialog dialog(QStringLiteral("포맷 변환"), job);
        dialog.setStopHandler(&context, [&](int) { ++stopped; });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(!logOf(&dialog).contains(res::qtext(61524)));
    }
    // The dialog is gone; the worker ends its file and its last reports
    // find no dialog.
    BatchWorker::waitForAll();
    QTRY_COMPARE(stopped, 1);
    int written = 0;
    for (int i = 0; i < 30; ++i) {
        const std::string out = dir.file(std::to_string(i) + ".PNG");
        if (!fs::exists(out))
            continue;
        ++written;
        imaging::Bitmap b;
        QCOMPARE(imaging::PictureFile::load(out, b), 1);
        QCOMPARE(b.width(), 64);
    }
    QVERIFY(written >= 1);
    QVERIFY(written < 30);
    for (const auto& e : fs::directory_iterator(dir.path()))
        QVERIFY(e.path().filename().string().rfind(".kamelo-save", 0) == std::string::npos);
}

void TestBatchDialogs::closingWhileThePromptIsOpenDoesNotHang() {
    ScratchDir dir;
    BatchJob job;
    fs::create_directories(dir.file("out"));
    for (const char* n : {"1.bmp", "2.bmp"}) {
        job.sources.push_back(dir.file(n));
        saveBmp(job.sources.back());
        kamelo::test::writeFile(dir.file(std::string("out/") + n), "old");
    }
    job.mode = DestinationMode::Folder;
    job.folder = dir.file("out");
    BatchProgressDialog* progress = nullptr;
    Script script({
        {[] { return openPrompt(); },
         [&] {
             // The window is closed from outside (the window manager) while
             // the question waits; then the question is answered "예".
             progress->close();
             keyToFocus(Qt::Key_Return);
         }},
    });
    kamelo::test::Watchdog dog(60);
    {
        BatchProgressDialog dialog(QStringLiteral("크기 변환"), job);
        progress = &dialog;
        dialog.exec();
    }
    BatchWorker::waitForAll();
    QVERIFY(script.done());
    // Closing cancelled the run: the answer given afterwards wrote nothing.
    QCOMPARE(kamelo::test::readFile(dir.file("out/1.bmp")), std::string("old"));
    QCOMPARE(kamelo::test::readFile(dir.file("out/2.bmp")), std::string("old"));
}

// A slow writer that says how far it is: the dialog names the file in work
// and its bar moves within the file; the log's lines are shortened in the
// middle to the dialog's width, whatever size it is given.
void TestBatchDialogs::showsTheFileInWorkAndMovesWithinIt() {
    ScratchDir dir;
    BatchJob job;
    for (const char* n : {"first.bmp", "second.bmp"}) {
        job.sources.push_back(dir.file(std::string("a rather long folder name/") + n));
        fs::create_directories(dir.file("a rather long folder name"));
        saveBmp(job.sources.back());
    }
    job.convertTo = kConversionFormats[3]; // PNG
    std::counting_semaphore<2> go(0);
    job.write = [&go](const PictureWrite&, std::string&, const FileProgress& progress) {
        progress(50);
        return go.try_acquire_for(std::chrono::seconds(20)) ? 1 : -1;
    };
    kamelo::test::Watchdog dog(60);
    BatchProgressDialog dialog(QStringLiteral("포맷 변환"), job);
    dialog.show();
    auto* inWork = dialog.findChild<QLabel*>(QStringLiteral("inWork"));
    auto* bar = dialog.findChild<QProgressBar*>(QStringLiteral("progress"));
    auto* log = dialog.findChild<BatchLog*>(QStringLiteral("log"));
    QVERIFY(inWork && bar && log);
    dialog.resize(2000, 320); // room for every text whole
    // Decoded, stepped and half written: 60 + 50 % of the write's 40.
    const struct {
        const char* name;
        const char* count;
        int bar;
    } files[] = {{"first.bmp", "(1/2)", 80}, {"second.bmp", "(2/2)", 180}};
    for (const auto& f : files) {
        QTRY_VERIFY2(inWork->text().contains(QLatin1String(f.name)), qPrintable(inWork->text()));
        QVERIFY(inWork->text().contains(QLatin1String(f.count)));
        QCOMPARE(bar->maximum(), 2 * BatchProgressDialog::kFileSteps);
        QTRY_COMPARE(bar->value(), f.bar);
        go.release();
    }
    QTRY_COMPARE(inWork->text(), res::qtext(res::IDS_BATCH_DONE));
    QCOMPARE(bar->value(), bar->maximum());
    const QString line = QString::fromStdString(job.sources[0] + " -> " +
                                                dir.file("a rather long folder name/first.PNG"));
    QCOMPARE(logOf(&dialog).split(QLatin1Char('\n'))[0], line);
    QCOMPARE(log->shownLine(0), line);
    // Narrow: both ends of the line stay, the middle goes.
    dialog.resize(220, 320);
    QTRY_VERIFY(log->shownLine(0) != line);
    const QString shown = log->shownLine(0);
    QVERIFY2(shown.contains(QChar(0x2026)), qPrintable(shown));
    QVERIFY(shown.startsWith(line.left(3)));
    QVERIFY(shown.endsWith(QStringLiteral("PNG")));
    QVERIFY(log->fontMetrics().horizontalAdvance(shown) <= log->viewport()->width());
    QCOMPARE(logOf(&dialog).split(QLatin1Char('\n'))[0], line); // the text stays whole
    dialog.close();
    BatchWorker::waitForAll();
}

QTEST_MAIN(TestBatchDialogs)
#include "tst_batchdialogs.moc"
