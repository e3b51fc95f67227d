// The browser's "크기 변환" dialog driven by mouse and keys inside its own
// modal loop: the save group's radios enable the folder edit and "...",
// the percent range is checked on OK, OK stores the choices and the batch
// run writes where the dialog said.
#include "base/settingsstore.h"
#include "edit/resizedialog.h"
#include "imaging/bitmap.h"
#include "imaging/picturefile.h"
#include "imaging/picturesaver.h"
#include "resources/qtstrings.h"
#include "resources/stringtable.h"
#include "tests/support/modalscript.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

using namespace kamelo;
using namespace kamelo::edit;
using kamelo::test::activeModal;
using kamelo::test::ScratchDir;
using kamelo::test::Script;
namespace fs = std::filesystem;

namespace {

void saveBmp(const std::string& path, int w, int h) {
    imaging::Bitmap b;
    QVERIFY(b.create(w, h, 0x336699) == 1);
    QVERIFY(imaging::PictureSaver::save(b, path, imaging::saveformat::kBmp, 2) == 1);
}

PixelSize sizeOf(const std::string& path) {
    imaging::Bitmap b;
    if (imaging::PictureFile::load(path, b) != 1)
        return {};
    return {b.width(), b.height()};
}

ResizeDialog* openDialog() {
    return activeModal<ResizeDialog>();
}

template <class T> T* child(QWidget* w, const char* name) {
    return w->findChild<T*>(QString::fromLatin1(name));
}

void clickOn(QAbstractButton* b) {
    QVERIFY(b);
    QVERIFY(b->isVisible());
    QTest::mouseClick(b, Qt::LeftButton);
}

void keyToFocus(int key) {
    QWidget* w = QApplication::focusWidget();
    QVERIFY(w);
    QTest::keyClick(w, Qt::Key(key));
}

// Replaces an edit's text as a user would: a click into it, select all, type.
void typeInto(QLineEdit* e, const char* text) {
    QVERIFY(e && e->isEnabled());
    QTest::mouseClick(e, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), e);
    QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(e, QString::fromUtf8(text));
}

QPushButton* okOf(QWidget* dialog) {
    for (auto* b : dialog->findChildren<QPushButton*>())
        if (b->text() == res::qtext(res::IDS_OK))
            return b;
    return nullptr;
}

bool finishedProgress() {
    QWidget* d = activeModal();
    if (!d || d->objectName() != QLatin1String("batchProgress"))
        return false;
    auto* button = d->findChild<QPushButton*>(QStringLiteral("button"));
    return button && button->text() == res::qtext(61525);
}

} // namespace

class TestResizeDialog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { std::signal(SIGALRM, SIG_DFL); }

    void saveRadiosEnableTheFolderAndOkRunsIntoIt() {
        kamelo::test::Watchdog dog(60);
        ScratchDir dir;
        SettingsStore store(dir.file("s.sqlite"));
        const std::string a = dir.file("a.bmp"), b = dir.file("b.bmp");
        saveBmp(a, 40, 30);
        saveBmp(b, 20, 10);
        const QString folder = QString::fromStdString(dir.path());
        bool startedDisabled = false, pickerTitled = false, rangeRefused = false;
        Script script({
            {[] { return openDialog(); },
             [&] {
                 QWidget* d = openDialog();
                 auto* toFolder = child<QRadioButton>(d, "toFolder");
                 auto* overwrite = child<QRadioButton>(d, "overwrite");
                 auto* edit = child<QLineEdit>(d, "folder");
                 auto* browse = child<QPushButton>(d, "browse");
                 startedDisabled = overwrite->isChecked() && !edit->isEnabled() &&
                                   !browse->isEnabled() &&
                                   edit->text() == folder + QStringLiteral("/resized");
                 clickOn(toFolder);
                 QVERIFY(toFolder->isChecked());
                 QVERIFY(edit->isEnabled());
                 QVERIFY(browse->isEnabled());
                 // Back and forth: the other radio disables both again.
                 clickOn(overwrite);
                 QVERIFY(!edit->isEnabled());
                 QVERIFY(!browse->isEnabled());
                 clickOn(toFolder);
                 QVERIFY(edit->isEnabled());
                 clickOn(browse);
             }},
            // "..." opens the folder picker with its prompt; Escape keeps the edit.
            {[] { return activeModal<QFileDialog>(); },
             [&] {
                 pickerTitled = activeModal<QFileDialog>()->windowTitle() ==
                                res::qtext(res::IDS_RESIZE_FOLDER_PROMPT);
                 keyToFocus(Qt::Key_Escape);
             }},
            {[] { return openDialog(); },
             [&] {
                 QWidget* d = openDialog();
                 QCOMPARE(child<QLineEdit>(d, "folder")->text(),
                          folder + QStringLiteral("/resized"));
                 // 5001 % is past the range: OK shows why and keeps the dialog.
                 typeInto(child<QLineEdit>(d, "percent"), "5001");
                 clickOn(okOf(d));
             }},
            {[] { return activeModal<QMessageBox>(); },
             [&] {
                 rangeRefused = activeModal<QMessageBox>()->text() ==
                                QString::fromUtf8(res::format(res::IDS_RESIZE_PERCENT_RANGE,
                                                              ResizeSettings::kMinPercent,
                                                              ResizeSettings::kMaxPercent));
                 keyToFocus(Qt::Key_Return);
             }},
            {[] { return openDialog(); },
             [&] {
                 QWidget* d = openDialog();
                 typeInto(child<QLineEdit>(d, "percent"), "50");
                 typeInto(child<QLineEdit>(d, "folder"), "");
                 QTest::keyClicks(QApplication::focusWidget(), folder + QStringLiteral("/half"));
                 // Enter in the edit takes the default button, OK.
                 keyToFocus(Qt::Key_Return);
             }},
            {finishedProgress, [] { keyToFocus(Qt::Key_Return); }},
        });
        int stopped = -1;
        QObject context;
        ResizeDialog::resizeFiles(nullptr, store, {a, b}, folder, true, &context,
                                  [&](int count) { stopped = count; });
        QVERIFY(script.done());
        QVERIFY(startedDisabled);
        QVERIFY(pickerTitled);
        QVERIFY(rangeRefused);
        QCOMPARE(store.getInt("General", "resize save mode", -1), 1);
        QCOMPARE(store.getInt("General", "Percent", -1), 50);
        QCOMPARE(store.getInt("General", "Radio Selected", -1), 0);
        QCOMPARE(sizeOf(dir.file("half/a.bmp")), (PixelSize{20, 15}));
        QCOMPARE(sizeOf(dir.file("half/b.bmp")), (PixelSize{10, 5}));
        // The sources are untouched.
        QCOMPARE(sizeOf(a), (PixelSize{40, 30}));
        QTRY_COMPARE(stopped, 2);
    }

    void overwriteModeResizesTheSourcesInPlace() {
        kamelo::test::Watchdog dog(60);
        ScratchDir dir;
        SettingsStore store(dir.file("s.sqlite"));
        store.setInt("General", "resize save mode", 1);
        const std::string a = dir.file("a.bmp");
        saveBmp(a, 100, 80);
        bool folderWasEnabled = false;
        Script script({
            {[] { return openDialog(); },
             [&] {
                 QWidget* d = openDialog();
                 folderWasEnabled = child<QLineEdit>(d, "folder")->isEnabled();
                 clickOn(child<QRadioButton>(d, "overwrite"));
                 QVERIFY(!child<QLineEdit>(d, "folder")->isEnabled());
                 // By size, fitted to a height of 20, typed after Tab-free clicks.
                 clickOn(child<QRadioButton>(d, "bySize"));
                 QVERIFY(!child<QLineEdit>(d, "percent")->isEnabled());
                 typeInto(child<QLineEdit>(d, "width"), "25");
                 clickOn(okOf(d));
             }},
            {finishedProgress,
             [] {
                 QWidget* d = activeModal();
                 QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("button")),
                                   Qt::LeftButton);
             }},
        });
        QObject context;
        ResizeDialog::resizeFiles(nullptr, store, {a}, QString::fromStdString(dir.path()), true,
                                  &context, [](int) {});
        QVERIFY(script.done());
        QVERIFY(folderWasEnabled);
        QCOMPARE(store.getInt("General", "resize save mode", -1), 0);
        QCOMPARE(store.getInt("General", "Radio Selected", -1), 1);
        QCOMPARE(store.getInt("General", "Resize_CX", -1), 25);
        QCOMPARE(sizeOf(a), (PixelSize{25, 20}));
        QVERIFY(!fs::exists(dir.file("resized")));
    }

    void cancelWritesNothing() {
        kamelo::test::Watchdog dog(60);
        ScratchDir dir;
        SettingsStore store(dir.file("s.sqlite"));
        const std::string a = dir.file("a.bmp");
        saveBmp(a, 40, 30);
        Script script({{[] { return openDialog(); },
                        [] {
                            typeInto(child<QLineEdit>(openDialog(), "percent"), "10");
                            keyToFocus(Qt::Key_Escape);
                        }}});
        QObject context;
        ResizeDialog::resizeFiles(nullptr, store, {a}, QString::fromStdString(dir.path()), true,
                                  &context, [](int) {});
        QVERIFY(script.done());
        QCOMPARE(store.getInt("General", "Percent", -1), -1);
        QCOMPARE(sizeOf(a), (PixelSize{40, 30}));
    }
};

QTEST_MAIN(TestResizeDialog)
#include "tst_resizedialog.moc"
