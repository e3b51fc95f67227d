// The Save As dialog's details view, switched to with the mouse: Korean
// dates, and type and date columns wide enough for their texts.
#define QTEST_QPA_MOUSE_HANDLING

#include "edit/filedateproxy.h"
#include "edit/saveasdialog.h"
#include "imaging/picturesaver.h"
#include "tests/support/scratchdir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QHeaderView>
#include <QStyle>
#include <QTest>
#include <QTreeView>

using namespace kamelo;

class TestSaveAsColumns : public QObject {
    Q_OBJECT
    test::ScratchDir dir_;

private slots:
    void detailsShowKoreanDatesInFullColumns_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type"); // the file type to choose
        QTest::newRow("jpeg") << "사진.jpg" << 0;
        QTest::newRow("png") << "그림.png" << 2;
        QTest::newRow("pcx") << "old.pcx" << 3;
    }
    void detailsShowKoreanDatesInFullColumns() {
        QFETCH(QString, name);
        QFETCH(int, type);
        imaging::Bitmap picture;
        picture.create(32, 24, 0x336699);
        const std::string path = dir_.file(name.toStdString());
        imaging::PictureSaver::save(picture, path,
                                    imaging::PictureSaver::formatForExtension(
                                        "." + QFileInfo(name).suffix().toStdString()));
        edit::CSaveAsDialog d(picture, QString::fromStdString(path), false);
        d.resize(640, 420);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        auto* details = d.findChild<QAbstractButton*>(QStringLiteral("detailModeButton"));
        QVERIFY(details);
        QTest::mouseClick(details, Qt::LeftButton);
        auto* types = d.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        types->setFocus();
        for (int i = 0; i < type; ++i)
            QTest::keyClick(types, Qt::Key_Down);
        QCOMPARE(types->currentIndex(), type);
        auto* view = d.findChild<QTreeView*>(QStringLiteral("treeView"));
        QTRY_VERIFY(view->isVisible());
        QModelIndex row;
        QTRY_VERIFY((row =
                         [&] {
                             const QModelIndex root = view->rootIndex();
                             for (int r = 0; r < view->model()->rowCount(root); ++r)
                                 if (view->model()->index(r, 0, root).data().toString() == name)
                                     return view->model()->index(r, 0, root);
                             return QModelIndex();
                         }())
                        .isValid());
        const QString date = row.siblingAtColumn(3).data().toString();
        QCOMPARE(date, edit::FileDateProxy::dateText(
                           QFileInfo(QString::fromStdString(path)).lastModified()));
        QVERIFY2(date.contains(QStringLiteral("오전")) || date.contains(QStringLiteral("오후")),
                 qPrintable(date));
        // Neither the type nor the date is cut: each fits with the margins an
        // item view leaves around a text.
        const int margins = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
        for (int column : {2, 3}) {
            const QString text = row.siblingAtColumn(column).data().toString();
            QTRY_VERIFY2(view->header()->sectionSize(column) >=
                             view->fontMetrics().horizontalAdvance(text) + margins,
                         qPrintable(text));
        }
        d.reject();
    }
};

QTEST_MAIN(TestSaveAsColumns)
#include "tst_saveascolumns.moc"
