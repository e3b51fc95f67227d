#include "base/uisettings.h"
#include "browser/infoview.h"
#include "exif/exifdialog.h"
#include "exif/exiflist.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <QHeaderView>
#include <QImage>
#include <QPushButton>
#include <QtTest>

using namespace kamelo;

class TestExifViews : public QObject {
    Q_OBJECT
private slots:
    void theDialogListsTheRowsOfTheFile() {
        if (kamelo::test::testDataDir().empty())
            QSKIP("sample pictures not found");
        CExifDlg dialog(QString::fromStdString(kamelo::test::testDataFile("camera/Canon_40D.jpg")));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("디지털 카메라 정보 (EXIF)"));
        ExifList* list = dialog.list();
        QCOMPARE(list->rowCount(), 21);
        QCOMPARE(list->columnCount(), 2);
        QCOMPARE(list->horizontalHeaderItem(0)->text(), QStringLiteral("속성"));
        QCOMPARE(list->horizontalHeaderItem(1)->text(), QStringLiteral("값"));
        QCOMPARE(list->columnWidth(0), 120);
        QVERIFY(list->showGrid());
        QCOMPARE(list->item(0, 0)->text(), QStringLiteral("너비"));
        QCOMPARE(list->valueAt(0), QStringLiteral("100픽셀"));
        QCOMPARE(list->valueAt(6), QStringLiteral("Canon EOS 40D"));
        QCOMPARE(list->valueAt(20), QStringLiteral("Version 2.2"));
        auto* ok = dialog.findChild<QPushButton*>();
        QVERIFY(ok);
        QCOMPARE(ok->text(), QStringLiteral("확인"));
        dialog.show();
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void thePaneFollowsTheItemAndRemembersItsTab() {
        kamelo::test::ScratchDir dir;
        CUiSettings settings;
        setUiSettings(&settings);
        const QString small = QString::fromStdString(dir.file("small.png"));
        QImage img(40, 20, QImage::Format_RGB32);
        img.fill(Qt::red);
        QVERIFY(img.save(small));
        const QString big = QString::fromStdString(dir.file("big.png"));
        QImage large(1000, 500, QImage::Format_RGB32);
        large.fill(Qt::blue);
        QVERIFY(large.save(big));

        CInfoView pane;
        pane.resize(300, 260);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        PreviewPage* page = pane.previewPage();
        pane.showItem(small);
        // Smaller than the page: its own size, centred.
        const QRect r = page->displayRect();
        QCOMPARE(r.size(), QSize(40, 20));
        QCOMPARE(r.center().x(), page->width() / 2 - (page->width() % 2 == 0 ? 1 : 0));
        QVERIFY(QTest::qWaitFor([&] { return page->hasPicture(); }, 5000));
        QImage shot = page->grab().toImage();
        QCOMPARE(shot.pixelColor(r.center()), QColor(Qt::red));
        QCOMPARE(shot.pixelColor(2, 2), QColor(Qt::white));

        pane.showItem(big); // larger: fitted by width
        QCOMPARE(page->displayRect().width(), page->width());
        QCOMPARE(page->displayRect().height(), page->width() / 2);
        QVERIFY(QTest::qWaitFor([&] { return page->hasPicture(); }, 5000));

        pane.setCurrentIndex(1);
        QCOMPARE(settings.infoTab, 1);
        QVERIFY(!page->hasPicture());
        QCOMPARE(pane.infoPage()->valueAt(0), QStringLiteral("0픽셀")); // not a JPEG
        pane.showItem(QString());                                       // a folder
        QCOMPARE(pane.infoPage()->valueAt(0), QString());
        pane.showItem(small);
        pane.setCurrentIndex(0); // back: the remembered path shows again
        QVERIFY(QTest::qWaitFor([&] { return page->hasPicture(); }, 5000));
        QCOMPARE(settings.infoTab, 0);
        pane.showItem(QString());
        QVERIFY(!page->hasPicture());
        setUiSettings(nullptr);
    }
};

QTEST_MAIN(TestExifViews)
#include "tst_exifviews.moc"
