// Save As opened as a user finds it: the folder, name and file types, the
// JPEG panel only for the types with a quality, the writer the extension
// picks, and the viewer's Save As adding the new file to the shown folder.
#include "edit/saveasdialog.h"
#include "edit/saveasjpegpanel.h"
#include "imaging/fileinfo.h"
#include "imaging/picturefile.h"
#include "tests/app/programrun.h"
#include "tests/edit/saveasenv.h"
#include "tests/support/watchdog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <functional>

using namespace kamelo;
using namespace kamelo::edit;
using namespace kamelo::test::saveas;
namespace fs = std::filesystem;

namespace {

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
    void initTestCase() { useOwnHome(home_); }

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
};

QTEST_MAIN(TestSaveAsDialog)
#include "tst_saveasdialog.moc"
