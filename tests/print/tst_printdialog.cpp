#include "base/settingsstore.h"
#include "imaging/bitmap.h"
#include "imaging/picturesaver.h"
#include "print/picturereader.h"
#include "print/printdialog.h"
#include "print/printpreviewworker.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace kamelo;

namespace {

PrinterPage testPage() {
    PrinterPage p;
    p.printerName = QStringLiteral("테스트 프린터");
    p.formName = QStringLiteral("A4");
    p.geometry = PageGeometry{210, 297, 0, 0, 0, 0, false};
    return p;
}

template <class T> T* child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QLatin1String(name));
    if (!c)
        qFatal("no %s", name);
    return c;
}

// Types a new value into a spin box as a user would: focus, select, type.
void typeInto(QAbstractSpinBox* box, const QString& text) {
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Tab);
}

// A radio button takes clicks on its mark and text only: click the mark.
void clickRadio(QRadioButton* radio) {
    QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(8, radio->height() / 2));
}

} // namespace

class TestPrintDialog : public QObject {
    Q_OBJECT
private:
    test::ScratchDir dir_;
    std::vector<std::string> files_;
    std::unique_ptr<SettingsStore> store_;

    std::unique_ptr<PrintDialog> open(int pictures) {
        std::vector<std::string> files(files_.begin(), files_.begin() + pictures);
        auto d = std::make_unique<PrintDialog>(files, testPage(), store_.get(),
                                               std::make_shared<FilePictureReader>());
        d->show();
        d->activateWindow();
        if (!QTest::qWaitForWindowExposed(d.get()))
            qFatal("dialog not shown");
        return d;
    }

private slots:
    void initTestCase() {
        for (int i = 0; i < 21; ++i) {
            imaging::Bitmap b;
            b.create(40, 30, 0x102030 * (i + 1));
            files_.push_back(dir_.file("p" + std::to_string(i) + ".png"));
            imaging::PictureSaver::save(b, files_.back(),
                                        imaging::PictureSaver::formatForExtension(".png"));
        }
    }
    void init() { store_ = std::make_unique<SettingsStore>(dir_.file("settings.sqlite")); }
    void cleanup() {
        store_.reset();
        std::remove(dir_.file("settings.sqlite").c_str());
    }

    void showsThePrinterAndPaper() {
        test::Watchdog dog(60);
        auto d = open(1);
        QCOMPARE(child<QComboBox>(d.get(), "info108101")->currentText(),
                 QStringLiteral("테스트 프린터"));
        QCOMPARE(child<QComboBox>(d.get(), "info108102")->currentText(), QStringLiteral("A4"));
        QCOMPARE(child<QLabel>(d.get(), "info108103")->text(), QStringLiteral("세로"));
        QCOMPARE(child<QLabel>(d.get(), "info108104")->text(), QStringLiteral("210.0 mm"));
        QCOMPARE(child<QLabel>(d.get(), "info108105")->text(), QStringLiteral("297.0 mm"));
        QTRY_VERIFY(!d->previewImage().isNull());
    }

    void modesShowTheirOwnControls() {
        test::Watchdog dog(60);
        auto d = open(3);
        QWidget* whole = child<QWidget>(d.get(), "wholePageControls");
        QWidget* sheet = child<QWidget>(d.get(), "sheetControls");
        QVERIFY(whole->isVisible());
        QVERIFY(!sheet->isVisible());
        QCOMPARE(child<QLabel>(d.get(), "pageLabel")->text(), QStringLiteral("1/3"));
        clickRadio(child<QRadioButton>(d.get(), "radioSheet"));
        QVERIFY(!whole->isVisible());
        QVERIFY(sheet->isVisible());
        QCOMPARE(child<QLabel>(d.get(), "pageLabel")->text(), QStringLiteral("1/1"));
        QCOMPARE(d->job().title(), QStringLiteral("여러장 찍기"));
        // Back with the keyboard: the radio buttons move with the arrows.
        child<QRadioButton>(d.get(), "radioSheet")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
        QVERIFY(child<QRadioButton>(d.get(), "radioWhole")->isChecked());
        QVERIFY(whole->isVisible());
        QCOMPARE(d->job().title(), QStringLiteral("p0.png외 2개"));
    }

    void customSizeFieldsFollowTheChoice() {
        test::Watchdog dog(60);
        auto d = open(1);
        auto* width = child<QDoubleSpinBox>(d.get(), "userWidth");
        QVERIFY(!width->isEnabled());
        clickRadio(child<QRadioButton>(d.get(), "size5"));
        QVERIFY(width->isEnabled());
        typeInto(width, QStringLiteral("88.5"));
        typeInto(child<QDoubleSpinBox>(d.get(), "userHeight"), QStringLiteral("120"));
        QCOMPARE(d->job().settings.size, PrintSize::Custom);
        QCOMPARE(d->job().settings.userWidth, 88.5);
        clickRadio(child<QRadioButton>(d.get(), "size2"));
        QVERIFY(!width->isEnabled());
        QCOMPARE(d->job().settings.size, PrintSize::Size4x6);
    }

    void pagingAndTheColumnSlider() {
        test::Watchdog dog(60);
        auto d = open(21);
        clickRadio(child<QRadioButton>(d.get(), "radioSheet"));
        auto* label = child<QLabel>(d.get(), "pageLabel");
        QCOMPARE(label->text(), QStringLiteral("1/2"));
        auto* next = child<QPushButton>(d.get(), "nextPage");
        auto* prev = child<QPushButton>(d.get(), "prevPage");
        QVERIFY(!prev->isEnabled());
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(label->text(), QStringLiteral("2/2"));
        QVERIFY(!next->isEnabled());
        QTRY_VERIFY(!d->previewImage().isNull() &&
                    d->shownGeneration() == d->previewWorker()->generation());
        auto* columns = child<QSlider>(d.get(), "columns");
        columns->setFocus();
        QTest::keyClick(columns, Qt::Key_Right);
        QCOMPARE(child<QLabel>(d.get(), "columnsLabel")->text(), QStringLiteral("5열"));
        QCOMPARE(child<QLabel>(d.get(), "rowsLabel")->text(), QStringLiteral("5행"));
        QCOMPARE(label->text(), QStringLiteral("1/1")); // 25 a page: back to the only page
        QTest::keyClick(columns, Qt::Key_End);
        QCOMPARE(d->job().settings.columnCount, 10); // 210 mm / 20 mm
    }

    void cancelStoresNothing() {
        test::Watchdog dog(60);
        auto d = open(2);
        typeInto(child<QSpinBox>(d.get(), "leftMargin"), QStringLiteral("20"));
        QCOMPARE(d->job().settings.leftMargin, 20);
        QTest::mouseClick(child<QPushButton>(d.get(), "cancelButton"), Qt::LeftButton);
        QCOMPARE(d->result(), int(QDialog::Rejected));
        QVERIFY(store_->entries(SettingsStore::sectionKey("Print")).empty());
    }

    void printStoresTheSettings() {
        test::Watchdog dog(60);
        auto d = open(2);
        typeInto(child<QSpinBox>(d.get(), "leftMargin"), QStringLiteral("20"));
        clickRadio(child<QRadioButton>(d.get(), "radioSheet"));
        QTest::mouseClick(child<QPushButton>(d.get(), "printButton"), Qt::LeftButton);
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QVERIFY(d->previewWorker()->stopped());
        QCOMPARE(store_->getInt("Print", "Left Margin", -1), 20);
        QCOMPARE(store_->getInt("Print", "Radio Sheet", -1), 1);
        QCOMPARE(store_->getInt("Print", "Thumbnail Frame Color", -1), 0xBEBEBE);
    }

    void refusesSettingsWithoutRoom() {
        test::Watchdog dog(60);
        auto d = open(2);
        clickRadio(child<QRadioButton>(d.get(), "radioSheet"));
        typeInto(child<QSpinBox>(d.get(), "leftMargin"), QStringLiteral("100"));
        typeInto(child<QSpinBox>(d.get(), "rightMargin"), QStringLiteral("110"));
        QString shown;
        QTimer::singleShot(0, this, [&shown] {
            QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            shown = box->text();
            QTest::keyClick(box, Qt::Key_Return);
        });
        QTest::mouseClick(child<QPushButton>(d.get(), "printButton"), Qt::LeftButton);
        QVERIFY(shown.contains(QStringLiteral("사진을 놓을 자리가 없습니다")));
        QVERIFY(d->isVisible());
        QVERIFY(!d->previewWorker()->stopped());
        QVERIFY(store_->entries(SettingsStore::sectionKey("Print")).empty());
    }

    void enterPrints() {
        test::Watchdog dog(60);
        auto d = open(1);
        child<QSpinBox>(d.get(), "topMargin")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(d->result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TestPrintDialog)
#include "tst_printdialog.moc"
