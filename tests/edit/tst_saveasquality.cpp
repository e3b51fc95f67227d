// The JPEG panel of Save As, driven by keys and the mouse: the estimate is
// the writer's size and follows the quality at the right moments, the
// quality edit takes digits up to 100, and the file is written at it.
#include "edit/saveasdialog.h"
#include "edit/saveasjpegpanel.h"
#include "exif/jpegpropertyinfo.h"
#include "tests/edit/saveasenv.h"
#include "tests/support/watchdog.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QtTest>

#include <filesystem>
#include <vector>

using namespace kamelo;
using namespace kamelo::edit;
using namespace kamelo::test::saveas;
namespace fs = std::filesystem;

namespace {

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

} // namespace

class TestSaveAsQuality : public QObject {
    Q_OBJECT
    kamelo::test::ScratchDir home_;

private slots:
    void initTestCase() { useOwnHome(home_); }

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
};

QTEST_MAIN(TestSaveAsQuality)
#include "tst_saveasquality.moc"
