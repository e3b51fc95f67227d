// Save As with its JPEG panel, driven by keys and the mouse as a user would:
// the estimate follows the quality at the right moments and is the size of
// the file written, the panel works only for the Jpeg type, and the chosen
// extension picks the writer.
#include "app/commandids.h"
#include "app/commandtable.h"
#include "edit/saveasdialog.h"
#include "edit/saveasjpegpanel.h"
#include "exif/jpegpropertyinfo.h"
#include "imaging/fileinfo.h"
#include "imaging/picturefile.h"
#include "imaging/picturesaver.h"
#include "resources/qtstrings.h"
#include "tests/app/programrun.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"
#include "tests/support/watchdog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>

using namespace kamelo;
using namespace kamelo::edit;
namespace fs = std::filesystem;

namespace {

// A picture with enough detail that the quality changes the size a lot.
imaging::Bitmap generatedPicture(int width, int height) {
    imaging::Bitmap b;
    b.create(width, height);
    uint32_t seed = 99;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            b.setPixel(x, y, (seed >> 8) & 0xFFFFFF);
        }
    return b;
}

// Answers the next message box that comes up: records its text and presses
// the button given (by a mouse click on it), or Return.
class MessageAnswer : public QObject {
public:
    explicit MessageAnswer(QMessageBox::StandardButton button = QMessageBox::NoButton)
        : button_(button) {
        timer_.setInterval(20);
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            texts << box->text();
            if (QAbstractButton* b =
                    button_ != QMessageBox::NoButton ? box->button(button_) : nullptr)
                QTest::mouseClick(b, Qt::LeftButton);
            else
                QTest::keyClick(box, Qt::Key_Return);
        });
        timer_.start();
    }
    QStringList texts;

private:
    QMessageBox::StandardButton button_;
    QTimer timer_;
};

int kilobytesIn(const QLabel* label) {
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("(\\d+) KB")).match(label->text());
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QPoint handleCentre(QSlider* slider) {
    QStyleOptionSlider opt;
    opt.initFrom(slider);
    opt.orientation = slider->orientation();
    opt.minimum = slider->minimum();
    opt.maximum = slider->maximum();
    opt.sliderPosition = slider->sliderPosition();
    opt.sliderValue = slider->value();
    opt.singleStep = slider->singleStep();
    opt.pageStep = slider->pageStep();
    opt.upsideDown = false;
    opt.subControls = QStyle::SC_All;
    return slider->style()
        ->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider)
        .center();
}

struct Fixture {
    kamelo::test::ScratchDir dir;
    QString source;
    imaging::Bitmap picture;
};

// A picture saved as a JPEG file to open from.
void makeGeneratedSource(Fixture& f) {
    f.picture = generatedPicture(360, 240);
    f.source = QString::fromStdString(f.dir.file("source.jpg"));
    QVERIFY(imaging::PictureSaver::saveJpeg(f.picture, f.source.toStdString(), 90) >= 1);
}

void makeCameraSource(Fixture& f, const std::string& name) {
    const std::string from = kamelo::test::testDataFile("camera/" + name);
    f.source = QString::fromStdString(f.dir.file(name));
    fs::copy_file(from, f.source.toStdString());
    QVERIFY(imaging::PictureFile::load(f.source.toStdString(), f.picture) >= 1);
}

QLineEdit* nameEdit(CSaveAsDialog& d) {
    return d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

void showAndActivate(CSaveAsDialog& d) {
    d.show();
    d.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&d));
}

// Clicks into an edit and replaces its text by typing.
void typeInto(QLineEdit* edit, const QString& text) {
    // A message box or menu that just closed may have left another window
    // active (there is no window manager to settle it).
    QWidget* window = edit->window();
    QVERIFY(QTest::qWaitFor(
        [window] {
            if (QApplication::activeWindow() == window)
                return true;
            window->activateWindow();
            return false;
        },
        5000));
    QTest::mouseClick(edit, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), edit);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, text);
    if (QCompleter* c = edit->completer(); c && c->popup() && c->popup()->isVisible())
        QTest::keyClick(c->popup(), Qt::Key_Escape);
}

// Types a file name and presses Return, as the user confirms the dialog.
void saveUnder(CSaveAsDialog& d, const QString& name) {
    QLineEdit* edit = nameEdit(d);
    QVERIFY(edit);
    typeInto(edit, name);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
}

// Tab until the file type list has the keyboard.
QComboBox* focusTypeList(CSaveAsDialog& d) {
    auto* types = d.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    if (!types)
        return nullptr;
    QTest::mouseClick(nameEdit(d), Qt::LeftButton);
    for (int i = 0; i < 40 && QApplication::focusWidget() != types; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    return QApplication::focusWidget() == types ? types : nullptr;
}

QStringList filesIn(const kamelo::test::ScratchDir& dir) {
    return QDir(QString::fromStdString(dir.path()))
        .entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Runs steps on the Save As dialog once it is up (it runs modally, so
// the steps come from the event loop it spins).
class SaveAsDriver : public QObject {
public:
    explicit SaveAsDriver(std::function<void(CSaveAsDialog&)> steps) : steps_(std::move(steps)) {
        timer_.setInterval(20);
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* d = qobject_cast<CSaveAsDialog*>(QApplication::activeModalWidget());
            if (!d || !d->isVisible() || done)
                return;
            done = true;
            timer_.stop();
            steps_(*d);
        });
        timer_.start();
    }
    bool done = false;

private:
    std::function<void(CSaveAsDialog&)> steps_;
    QTimer timer_;
};

} // namespace

class TestSaveAsDialog : public QObject {
    Q_OBJECT
    kamelo::test::ScratchDir home_;
private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        qputenv("HOME", QByteArray::fromStdString(home_.path()));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home_.file("data")));
    }

    void opensOnThePicturesFolderAndName() {
        kamelo::test::Watchdog dog(60);
        Fixture f;
        makeGeneratedSource(f);
        CSaveAsDialog d(f.picture, f.source, false);
        showAndActivate(d);
        QCOMPARE(QDir(d.directory()).canonicalPath(),
                 QDir(QString::fromStdString(f.dir.path())).canonicalPath());
        QCOMPARE(nameEdit(d)->text(), QStringLiteral("source"));
        QCOMPARE(d.defaultSuffix(), QStringLiteral("jpg"));
        QCOMPARE(d.acceptMode(), QFileDialog::AcceptSave);
        QVERIFY(d.isSizeGripEnabled());
        // The types of the string table, shown as written, patterns usable.
        auto* types = d.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(types);
        // Then WebP and AVIF before every file.
        QCOMPARE(types->count(), 7);
        QCOMPARE(types->itemText(0), QStringLiteral("Jpeg 파일 (*.jpg)"));
        QCOMPARE(types->itemText(2), QStringLiteral("Portable Network Graphics 파일 (*.png)"));
        QCOMPARE(types->itemText(4), QStringLiteral("WebP 파일 (*.webp)"));
        QCOMPARE(types->itemText(5), QStringLiteral("AVIF 파일 (*.avif)"));
        QCOMPARE(types->itemText(6), QStringLiteral("모든 파일 (*.*)"));
        QCOMPARE(d.nameFilters().value(6), QStringLiteral("모든 파일 (*.*) (*)"));
        QCOMPARE(types->currentIndex(), 0);
        QVERIFY(d.jpegPanel()->isEnabled());
        QCOMPARE(d.jpegPanel()->title(), QStringLiteral("JPEG 압축 옵션"));
    }

    void filterListConversion() {
        const QStringList f =
            CSaveAsDialog::qtFilters(QStringLiteral("A (*.a)|*.a|Two|*.b;*.c|All|*.*||Never|*.n"));
        QCOMPARE(f, (QStringList{QStringLiteral("A (*.a) (*.a)"), QStringLiteral("Two (*.b *.c)"),
                                 QStringLiteral("All (*)")}));
        QVERIFY(CSaveAsDialog::qtFilters(QString()).isEmpty());
        QVERIFY(CSaveAsDialog::qtFilters(QStringLiteral("odd")).isEmpty());
    }

    void estimateAtOpenIsTheWritersSize() {
        kamelo::test::Watchdog dog(60);
        Fixture f;
        makeGeneratedSource(f);
        CSaveAsDialog d(f.picture, f.source, false);
        SaveAsJpegPanel* panel = d.jpegPanel();
        QCOMPARE(panel->estimatedBytes(), int64_t(0)); // nothing before the dialog opens
        showAndActivate(d);
        QCOMPARE(panel->quality(), 96);
        QCOMPARE(panel->qualityEdit()->text(), QStringLiteral("96"));
        std::vector<uint8_t> bytes;
        QCOMPARE(JpegPropertyInfo::read(f.source.toStdString()).encodeJpeg(f.picture, 96, bytes),
                 1);
        QCOMPARE(panel->estimatedBytes(), int64_t(bytes.size()));
        QCOMPARE(kilobytesIn(panel->estimateLabel()), int(bytes.size() / 1024));
        QVERIFY(panel->estimateLabel()->text().startsWith(QStringLiteral("파일크기 : ")));
        // The file's own size, as it is not modified.
        QVERIFY(panel->originalSizeLabel()->isVisibleTo(&d));
        QCOMPARE(panel->originalSizeLabel()->text(),
                 QStringLiteral("원래크기 : %1 KB").arg(QFileInfo(f.source).size() / 1024));
    }

    void estimatesFollowTheEditWhenItLosesTheFocus() {
        kamelo::test::Watchdog dog(60);
        Fixture f;
        makeGeneratedSource(f);
        CSaveAsDialog d(f.picture, f.source, false);
        showAndActivate(d);
        SaveAsJpegPanel* panel = d.jpegPanel();
        const int64_t at96 = panel->estimatedBytes();

        typeInto(panel->qualityEdit(), QStringLiteral("0"));
        // Typing moves the slider but makes no estimate yet.
        QCOMPARE(panel->slider()->value(), 0);
        QCOMPARE(panel->estimatedBytes(), at96);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != panel->qualityEdit());
        const int64_t at0 = panel->estimatedBytes();
        const int kb0 = kilobytesIn(panel->estimateLabel());

        typeInto(panel->qualityEdit(), QStringLiteral("100"));
        QCOMPARE(panel->slider()->value(), 100);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        const int64_t at100 = panel->estimatedBytes();
        const int kb100 = kilobytesIn(panel->estimateLabel());

        QVERIFY(at0 > 0);
        QVERIFY2(at0 < at96 && at96 < at100,
                 qPrintable(QStringLiteral("%1 %2 %3").arg(at0).arg(at96).arg(at100)));
        QVERIFY(kb0 < kb100);
        std::vector<uint8_t> bytes;
        JpegPropertyInfo::read(f.source.toStdString()).encodeJpeg(f.picture, 0, bytes);
        QCOMPARE(at0, int64_t(bytes.size()));
    }

    void digitsOnlyAndNeverAbove100() {
        kamelo::test::Watchdog dog(60);
        Fixture f;
        makeGeneratedSource(f);
        CSaveAsDialog d(f.picture, f.source, false);
        showAndActivate(d);
        QLineEdit* edit = d.jpegPanel()->qualityEdit();
        QSlider* slider = d.jpegPanel()->slider();

        typeInto(edit, QStringLiteral("250"));
        QCOMPARE(edit->text(), QStringLiteral("100"));
        QCOMPARE(slider->value(), 100);

        typeInto(edit, QStringLiteral("4x5"));
        QCOMPARE(edit->text(), QStringLiteral("45"));
        QCOMPARE(slider->value(), 45);
        QTest::keyClicks(edit, QStringLiteral("-+ ."));
        QCOMPARE(edit->text(), QStringLiteral("45"));

        // Pasting goes through the same check: refused whole, or capped.
        QApplication::clipboard()->setText(QStringLiteral("7a"));
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), QStringLiteral("45"));
        QApplication::clipboard()->setText(QStringLiteral("99999999999999999999"));
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), QStringLiteral("100"));
        QCOMPARE(slider->value(), 100);

        // Emptied and left: the slider's value comes back.
        typeInto(edit, QString());
        QTest::keyClick(edit, Qt::Key_Backspace);
        QVERIFY(edit->text().isEmpty());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(edit->text(), QStringLiteral("100"));
    }

    void draggingTheSliderEstimatesOnRelease() {
        kamelo::test::Watchdog dog(60);
        Fixture f;
        makeGeneratedSource(f);
        CSaveAsDialog d(f.picture, f.source, false);
        showAndActivate(d);
        SaveAsJpegPanel* panel = d.jpegPanel();
        QSlider* slider = panel->slider();
        const int64_t at96 = panel->estimatedBytes();
        const QString label96 = panel->estimateLabel()->text();

        const QPoint handle = handleCentre(slider);
        QTest::mousePress(slider, Qt::LeftButton, {}, handle);
        QVERIFY(slider->isSliderDown());
        for (int x = handle.x(); x > -40; x -= 20)
            QTest::mouseMove(slider, QPoint(x, handle.y()));
        // While dragging only the digits follow.
        QCOMPARE(slider->value(), 0);
        QCOMPARE(panel->qualityEdit()->text(), QStringLiteral("0"));
        QCOMPARE(panel->estimatedBytes(), at96);
        QCOMPARE(panel->estimateLabel()->text(), label96);
        QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(-40, handle.y()));
        QVERIFY(!slider->isSliderDown());
        QVERIFY(panel->estimatedBytes() < at96);
        QVERIFY(panel->estimateLabel()->text() != label96);

        // A step by key is a whole move: estimated at once.
        const int64_t at0 = panel->estimatedBytes();
        QTest::mouseClick(panel->qualityEdit(), Qt::LeftButton);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), slider);
        QTest::keyClick(slider, Qt::Key_End);
        QCOMPARE(slider->value(), 100);
        QVERIFY(panel->estimatedBytes() > at0);
    }

    void originalSizeHiddenForAModifiedPicture() {
        kamelo::test::Watchdog dog(60);
        Fixture f;
        makeGeneratedSource(f);
        CSaveAsDialog d(f.picture, f.source, true);
        showAndActivate(d);
        QVERIFY(!d.jpegPanel()->originalSizeLabel()->isVisibleTo(&d));
        QVERIFY(d.jpegPanel()->estimateLabel()->isVisibleTo(&d));
        QVERIFY(d.jpegPanel()->estimatedBytes() > 0);
    }

    void panelOnlyForTheTypesWithAQuality() {
        kamelo::test::Watchdog dog(60);
        Fixture f;
        makeGeneratedSource(f);
        CSaveAsDialog d(f.picture, f.source, false);
        showAndActivate(d);
        SaveAsJpegPanel* panel = d.jpegPanel();
        typeInto(nameEdit(d), QStringLiteral("source.jpg"));
        QComboBox* types = focusTypeList(d);
        QVERIFY(types);
        QTest::keyClick(types, Qt::Key_Down);
        QCOMPARE(types->currentIndex(), 1);
        QCOMPARE(nameEdit(d)->text(), QStringLiteral("source.bmp"));
        QVERIFY(!panel->isEnabled());
        QVERIFY(!panel->slider()->isEnabled());
        QVERIFY(!panel->qualityEdit()->isEnabled());
        QCOMPARE(d.defaultSuffix(), QStringLiteral("bmp"));
        // WebP and AVIF take the quality too.
        for (int webType : {4, 5}) {
            types->setCurrentIndex(webType);
            QVERIFY(panel->isEnabled());
        }
        QTest::keyClick(types, Qt::Key_End);
        QCOMPARE(types->currentIndex(), 6);
        QVERIFY(!panel->isEnabled());
        QCOMPARE(d.defaultSuffix(), QStringLiteral("jpg"));
        // Every file: the typed name keeps its extension (not "source.*").
        QCOMPARE(nameEdit(d)->text(), QStringLiteral("source.bmp"));
        QTest::keyClick(types, Qt::Key_Home);
        QCOMPARE(types->currentIndex(), 0);
        QVERIFY(panel->isEnabled());

        // A name typed without extension under the BMP type is a BMP.
        QTest::keyClick(types, Qt::Key_Down);
        saveUnder(d, QStringLiteral("plain"));
        QCOMPARE(d.saveResult(), 1);
        imaging::FileInfo info;
        QVERIFY(imaging::PictureFile::readInfo(f.dir.file("plain.bmp"), info) >= 1);
        QCOMPARE(info.format, imaging::PictureFormat::Bmp);
    }

    void webTypesEstimateAndWriteTheirOwnFormat() {
        kamelo::test::Watchdog dog(60);
        Fixture f;
        makeGeneratedSource(f);
        CSaveAsDialog d(f.picture, f.source, false);
        showAndActivate(d);
        const int64_t jpegEstimate = d.jpegPanel()->estimatedBytes();
        auto* types = d.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(types);
        types->setCurrentIndex(4);
        QCOMPARE(d.defaultSuffix(), QStringLiteral("webp"));
        const int64_t estimate = d.jpegPanel()->estimatedBytes();
        QVERIFY(estimate > 0 && estimate != jpegEstimate);
        saveUnder(d, QStringLiteral("web"));
        QCOMPARE(d.saveResult(), 1);
        const std::string out = f.dir.file("web.webp");
        QCOMPARE(QFileInfo(QString::fromStdString(out)).size(), qint64(estimate));
        imaging::FileInfo info;
        QVERIFY(imaging::PictureFile::readInfo(out, info) >= 1);
        QCOMPARE(info.format, imaging::PictureFormat::WebP);
        QCOMPARE(info.width, f.picture.width());
    }

    void savedJpegIsTheEstimateAndKeepsTheCameraInformation() {
        kamelo::test::Watchdog dog(60);
        if (kamelo::test::testDataDir().empty())
            QSKIP("sample pictures not found");
        Fixture f;
        makeCameraSource(f, "Canon_40D.jpg");
        CSaveAsDialog d(f.picture, f.source, false);
        showAndActivate(d);
        const int64_t estimate = d.jpegPanel()->estimatedBytes();
        const int kb = kilobytesIn(d.jpegPanel()->estimateLabel());
        saveUnder(d, QStringLiteral("copy"));
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        const QString out = QString::fromStdString(f.dir.file("copy.jpg"));
        QCOMPARE(QFileInfo(d.savedPath()).canonicalFilePath(), QFileInfo(out).canonicalFilePath());
        QCOMPARE(QFileInfo(out).size(), qint64(estimate));
        QCOMPARE(int(QFileInfo(out).size() / 1024), kb);
        const JpegPropertyInfo back = JpegPropertyInfo::read(out.toStdString());
        QVERIFY(back.has(271));
        QCOMPARE(QString::fromStdString(back.item(271)->text), QStringLiteral("Canon"));
        QCOMPARE(QString::fromStdString(back.item(272)->text), QStringLiteral("Canon EOS 40D"));
        QCOMPARE(QString::fromStdString(back.item(36867)->text),
                 QStringLiteral("2008:05:30 15:56:01"));
        QVERIFY(back.has(33434));
    }

    void savedAtTheChosenQuality() {
        kamelo::test::Watchdog dog(60);
        Fixture f;
        makeGeneratedSource(f);
        CSaveAsDialog d(f.picture, f.source, true);
        showAndActivate(d);
        typeInto(d.jpegPanel()->qualityEdit(), QStringLiteral("30"));
        saveUnder(d, QStringLiteral("q30.jpg"));
        std::vector<uint8_t> bytes;
        JpegPropertyInfo::read(f.source.toStdString()).encodeJpeg(f.picture, 30, bytes);
        QCOMPARE(QFileInfo(QString::fromStdString(f.dir.file("q30.jpg"))).size(),
                 qint64(bytes.size()));
    }

    void otherExtensionsUseTheSaveTable() {
        kamelo::test::Watchdog dog(60);
        Fixture f;
        makeGeneratedSource(f);
        CSaveAsDialog d(f.picture, f.source, false);
        showAndActivate(d);
        saveUnder(d, QStringLiteral("out.tif"));
        QCOMPARE(d.saveResult(), 1);
        imaging::FileInfo info;
        QVERIFY(imaging::PictureFile::readInfo(f.dir.file("out.tif"), info) >= 1);
        QCOMPARE(info.format, imaging::PictureFormat::Tiff);
        QCOMPARE(info.width, 360);
        QCOMPARE(info.height, 240);
    }

    void anUnknownExtensionWritesNothingAndSaysSo() {
        kamelo::test::Watchdog dog(60);
        Fixture f;
        makeGeneratedSource(f);
        CSaveAsDialog d(f.picture, f.source, false);
        showAndActivate(d);
        MessageAnswer answer;
        saveUnder(d, QStringLiteral("out.xyz"));
        QTRY_COMPARE(answer.texts.size(), 1);
        QCOMPARE(answer.texts.first(), QStringLiteral("'out.xyz'을(를) 저장하지 못했습니다."));
        QCOMPARE(d.saveResult(), 0);
        QVERIFY(d.savedPath().isEmpty());
        // The dialog stays for another choice; nothing was written.
        QVERIFY(d.isVisible());
        QCOMPARE(filesIn(f.dir), QStringList{QStringLiteral("source.jpg")});
        d.reject();
    }

    void aFailedWriteSaysWhyAndKeepsTheOldFile() {
        kamelo::test::Watchdog dog(60);
        Fixture f;
        makeGeneratedSource(f);
        const std::string existing = f.dir.file("keep.jpg");
        kamelo::test::writeFile(existing, "old bytes");
        CSaveAsDialog d(f.picture, f.source, false);
        showAndActivate(d);
        {
            // A file-size limit fails the write the way a full disk does.
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit before{};
            ::getrlimit(RLIMIT_FSIZE, &before);
            rlimit limit = before;
            limit.rlim_cur = 4096;
            ::setrlimit(RLIMIT_FSIZE, &limit);
            MessageAnswer answers(QMessageBox::Yes); // replace, then the failure
            saveUnder(d, QStringLiteral("keep.jpg"));
            ::setrlimit(RLIMIT_FSIZE, &before);
            QTRY_COMPARE(answers.texts.size(), 2);
            QCOMPARE(answers.texts.at(1), QStringLiteral("'keep.jpg'을(를) 저장하지 못했습니다.\n"
                                                         "디스크 공간이 부족합니다."));
        }
        QVERIFY(d.saveResult() < 0);
        QVERIFY(d.isVisible());
        QCOMPARE(kamelo::test::readFile(existing), std::string("old bytes"));
        QCOMPARE(filesIn(f.dir),
                 (QStringList{QStringLiteral("keep.jpg"), QStringLiteral("source.jpg")}));

        // A folder that is not there.
        {
            MessageAnswer answer;
            saveUnder(d, QStringLiteral("missing/x.png"));
            QTRY_COMPARE(answer.texts.size(), 1);
            QVERIFY(answer.texts.first().startsWith(
                QStringLiteral("'x.png'을(를) 저장하지 못했습니다.\n")));
        }
        QVERIFY(d.isVisible());
        QVERIFY(!fs::exists(f.dir.file("missing")));
        d.reject();
    }

    void asksBeforeReplacing() {
        kamelo::test::Watchdog dog(60);
        Fixture f;
        makeGeneratedSource(f);
        const std::string existing = f.dir.file("exists.jpg");
        kamelo::test::writeFile(existing, "keep me");
        CSaveAsDialog d(f.picture, f.source, false);
        showAndActivate(d);
        {
            MessageAnswer no(QMessageBox::No);
            saveUnder(d, QStringLiteral("exists.jpg"));
            QTRY_COMPARE(no.texts.size(), 1);
        }
        QVERIFY(d.isVisible());
        QCOMPARE(kamelo::test::readFile(existing), std::string("keep me"));
        {
            MessageAnswer yes(QMessageBox::Yes);
            saveUnder(d, QStringLiteral("exists.jpg"));
            QTRY_COMPARE(yes.texts.size(), 1);
        }
        QVERIFY(!d.isVisible());
        imaging::FileInfo info;
        QVERIFY(imaging::PictureFile::readInfo(existing, info) >= 1);
        QCOMPARE(info.width, 360);
    }

    void theViewersSaveAsAddsThePictureToTheShownFolder() {
        kamelo::test::Watchdog dog(120);
        kamelo::test::ProgramRun r;
        r.start();
        QVERIFY(r.browsePhotos());
        CThumbListCtrl* list = r.list();
        list->selectIndex(r.row("b.png"));
        list->currentView()->setFocus();
        QTest::keyClick(kamelo::test::focused(), Qt::Key_Return);
        CShowFrame* v = r.viewer();
        QVERIFY(v);
        QVERIFY(QTest::qWaitForWindowActive(v));
        QCOMPARE(v->statusPane(1)->text(), QStringLiteral("2/3"));

        // 파일 > 다른 이름으로 저장, from the keyboard.
        int estimate = -1;
        SaveAsDriver driver([&](CSaveAsDialog& d) {
            QCOMPARE(QFileInfo(d.directory().absolutePath()).canonicalFilePath(),
                     QFileInfo(r.photo()).canonicalFilePath());
            QCOMPARE(nameEdit(d)->text(), QStringLiteral("b"));
            QVERIFY(d.jpegPanel()->originalSizeLabel()->isVisibleTo(&d));
            estimate = int(d.jpegPanel()->estimatedBytes());
            saveUnder(d, QStringLiteral("b copy"));
        });
        QTest::keyClick(kamelo::test::focused(), Qt::Key_F, Qt::AltModifier);
        QMenu* file = v->menuBar()->actions().value(0)->menu();
        QTRY_VERIFY(file->isVisible());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_A);
        QTRY_VERIFY(driver.done);
        QTRY_VERIFY(!QApplication::activeModalWidget());

        const QString copy = r.photo("b copy.jpg");
        QVERIFY(QFileInfo(copy).isFile());
        QCOMPARE(QFileInfo(copy).size(), qint64(estimate));
        imaging::FileInfo info;
        QVERIFY(imaging::PictureFile::readInfo(copy.toStdString(), info) >= 1);
        QCOMPARE(info.width, 40);
        QCOMPARE(info.height, 30);
        // One more picture to step to, and the one the viewer now names;
        // the browser lists it too.
        QCOMPARE(r.app->doc().list().count(), 4);
        QCOMPARE(v->statusPane(1)->text(), QStringLiteral("4/4"));
        QCOMPARE(v->view()->currentPath(), copy);
        QTRY_VERIFY(r.row("b copy.jpg") >= 0);
        r.stop();
    }

    void orientationMarkWritesUprightAndIsCleared() {
        kamelo::test::Watchdog dog(60);
        if (kamelo::test::testDataDir().empty())
            QSKIP("sample pictures not found");
        for (bool mark : {false, true}) {
            Fixture f;
            makeCameraSource(f, "Sony Cybershot (3).jpg");
            QCOMPARE(int(JpegPropertyInfo::read(f.source.toStdString()).shortOr(274)), 6);
            CSaveAsDialog d(f.picture, f.source, false);
            d.setOrientationMark(mark);
            showAndActivate(d);
            const int64_t estimate = d.jpegPanel()->estimatedBytes();
            saveUnder(d, QStringLiteral("turned.jpg"));
            const std::string out = f.dir.file("turned.jpg");
            QCOMPARE(int(JpegPropertyInfo::read(out).shortOr(274)), mark ? 1 : 6);
            QCOMPARE(QFileInfo(QString::fromStdString(out)).size(), qint64(estimate));
            QVERIFY(!d.orientationMark());
        }
    }
};

QTEST_MAIN(TestSaveAsDialog)
#include "tst_saveasdialog.moc"
