// The thumbnail list as the user sees it: its order, other files, the
// details view, selecting with keys and mouse, drawn cells, capture dates.

#include "base/settingskeys.h"
#include "browser/thumbcelldelegate.h"
#include "browser/thumblistctrl.h"
#include "browser/thumblistmodel.h"
#include "tests/browser/thumblistenv.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QListView>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

#include <filesystem>

using namespace kamelo;
using namespace kamelo::test::thumblist;
namespace fs = std::filesystem;

class TestThumbList : public QObject {
    Q_OBJECT
private slots:
    void theParentEntryStaysFirstInEverySortOrder() {
        Env e;
        const std::string f = e.dir.file("sorted/");
        writePicture(f + "b10.png", 30, 20, Qt::red);
        writePicture(f + "B2.png", 60, 40, Qt::red);
        writePicture(f + "a.bmp", 10, 10, Qt::red);
        fs::create_directories(f + "zeta");
        fs::create_directories(f + "Alpha");
        CThumbListCtrl list;
        list.setCacheIndex(&e.index);
        QVERIFY(list.loadFolder(e.folder("sorted")));
        QCOMPARE(names(list), (QStringList{"..", "Alpha", "zeta", "a.bmp", "B2.png", "b10.png"}));
        QCOMPARE(list.firstSelectedIndex(), 0);

        list.sortCommand(0); // same column again: descending
        QCOMPARE(names(list), (QStringList{"..", "zeta", "Alpha", "b10.png", "B2.png", "a.bmp"}));
        list.sortCommand(2); // another column: ascending by type, then name
        QCOMPARE(names(list), (QStringList{"..", "Alpha", "zeta", "a.bmp", "B2.png", "b10.png"}));
        list.headerClicked(1); // size, keeping the direction
        QVERIFY(list.sortAscending());
        QCOMPARE(names(list).first(), QStringLiteral(".."));
        QCOMPARE(names(list).last(), QStringLiteral("a.bmp")); // the BMP is the biggest file
        list.sortBy(1, false);
        QCOMPARE(names(list).first(), QStringLiteral(".."));
        QCOMPARE(names(list).at(3), QStringLiteral("a.bmp"));
        QCOMPARE(e.settings.sortBy, 1);
        QCOMPARE(e.settings.sortAscend, 0);
        QVERIFY(waitForCache(list));
    }

    void otherFilesAreListedWhenOnlyPicturesIsOff() {
        Env e;
        e.settings.onlyPictures = 0;
        const std::string f = e.dir.file("all/");
        writePicture(f + "p.png", 20, 20, Qt::red);
        kamelo::test::writeFile(f + "notes.txt", std::string(3000, 'x'));
        CThumbListCtrl list;
        list.setCacheIndex(&e.index);
        QVERIFY(list.loadFolder(e.folder("all")));
        QCOMPARE(list.itemCount(), 3);
        const int notes = names(list).indexOf("notes.txt");
        QCOMPARE(list.kindAt(notes), CThumbListCtrl::Kind::Other);
        QVERIFY(waitForCache(list)); // the text file never holds the cache back
        QCOMPARE(list.recordAt(notes)->thumbnailDone, 0);

        QSignalSpy status(&list, &CThumbListCtrl::statusText);
        list.selectIndex(notes);
        QCOMPARE(status.last().at(1).toString(), QStringLiteral("notes.txt   2KB"));
        list.selectIndex(names(list).indexOf("p.png"));
        QVERIFY(status.last().at(1).toString().startsWith(QStringLiteral("p.png   20x20x")));
    }

    void detailsViewShowsColumnsAndNeverUsesTheCache() {
        Env e;
        const std::string f = e.dir.file("details/");
        writePicture(f + "p.png", 20, 20, Qt::red);
        fs::create_directories(f + "sub");
        CThumbListCtrl list;
        list.setCacheIndex(&e.index);
        QVERIFY(list.loadFolder(e.folder("details")));
        QVERIFY(waitForCache(list));
        list.setViewType(1);
        QCOMPARE(e.settings.viewType, 1);
        QCOMPARE(e.store.getInt(keys::kGeneral, keys::kBrowserModeViewType, -1), 1);
        QVERIFY(!list.isLoading());
        ThumbListModel* m = list.model();
        QCOMPARE(m->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("이름"));
        QCOMPARE(m->headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("수정한 날짜"));
        QCOMPARE(list.detailsView()->columnWidth(0), 200);
        QCOMPARE(list.detailsView()->columnWidth(1), 60);
        const int p = names(list).indexOf("p.png");
        const uint32_t size = list.recordAt(p)->fileSize;
        QVERIFY(size > 0);
        QCOMPARE(m->data(m->index(p, 1), Qt::DisplayRole).toString(),
                 QStringLiteral("%1KB").arg(size / 1024 + 1));
        QCOMPARE(m->data(m->index(p, 2), Qt::DisplayRole).toString(), QStringLiteral("PNG"));
        QCOMPARE(m->data(m->index(p, 3), Qt::DisplayRole).toString(),
                 QFileInfo(QString::fromStdString(f + "p.png"))
                     .lastModified()
                     .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        QCOMPARE(m->data(m->index(names(list).indexOf("sub"), 1), Qt::DisplayRole).toString(),
                 QString());
        QCOMPARE(ThumbListModel::sizeText(0), QStringLiteral("1KB"));
        QCOMPARE(ThumbListModel::sizeText(2048), QStringLiteral("3KB"));
        list.setViewType(0);
        QVERIFY(!list.isLoading()); // back to thumbnails: from the cache
    }

    void selectAllAndInvertLeaveTheParentAndFoldersAlone() {
        Env e;
        const std::string f = e.dir.file("sel/");
        for (const char* n : {"1.png", "2.png", "3.png"})
            writePicture(f + n, 8, 8, Qt::gray);
        fs::create_directories(f + "dir");
        CThumbListCtrl list;
        QVERIFY(list.loadFolder(e.folder("sel")));
        list.selectAllFiles();
        QCOMPARE(list.selectedIndexes(), (QList<int>{2, 3, 4}));
        list.selectIndex(1); // a folder
        list.invertFileSelection();
        QCOMPARE(list.selectedIndexes(), (QList<int>{2, 3, 4}));
        list.selectIndex(3);
        list.invertFileSelection();
        QCOMPARE(list.selectedIndexes(), (QList<int>{2, 4}));
        QVERIFY(list.selectPath(QString::fromStdString(f + "3.png")));
        QCOMPARE(list.selectedIndexes(), (QList<int>{4}));
        QVERIFY(!list.selectPath(QStringLiteral("..")));
        QVERIFY(list.removePath(QString::fromStdString(f + "1.png")));
        QCOMPARE(list.itemCount(), 4);
        QCOMPARE(list.pathAt(0), e.folder("").chopped(1)); // the parent entry leads up
    }

    void shiftClickSelectsFromTheAnchorOnly() {
        Env e;
        const std::string f = e.dir.file("shift/");
        for (const char* n : {"1.png", "2.png", "3.png", "4.png", "5.png"})
            writePicture(f + n, 8, 8, Qt::gray);
        CThumbListCtrl list;
        list.resize(900, 600);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QVERIFY(list.loadFolder(e.folder("shift")));
        QListView* v = list.iconView();
        v->doItemsLayout();
        auto centre = [&](int row) { return v->visualRect(list.model()->index(row, 0)).center(); };
        QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, centre(2));
        QCOMPARE(list.selectedIndexes(), (QList<int>{2}));
        QTest::mouseClick(v->viewport(), Qt::LeftButton, Qt::ShiftModifier, centre(4));
        QCOMPARE(list.selectedIndexes(), (QList<int>{2, 3, 4}));
        QTest::mouseClick(v->viewport(), Qt::LeftButton, Qt::ShiftModifier, centre(1));
        QCOMPARE(list.selectedIndexes(), (QList<int>{1, 2}));

        // Enter on a picture asks for the viewer; Backspace for the parent.
        QSignalSpy viewer(&list, &CThumbListCtrl::enterViewerRequested);
        QSignalSpy parent(&list, &CThumbListCtrl::parentRequested);
        QTest::keyClick(v, Qt::Key_Return);
        QCOMPARE(viewer.count(), 1);
        QTest::keyClick(v, Qt::Key_Backspace);
        QCOMPARE(parent.count(), 1);
        QSignalSpy folder(&list, &CThumbListCtrl::folderRequested);
        list.selectIndex(0);
        QTest::keyClick(v, Qt::Key_Return);
        QCOMPARE(folder.count(), 1);
        QCOMPARE(folder.first().at(0).toString(), e.folder("").chopped(1));
        QVERIFY(QTest::qWaitFor([&] { return !list.isLoading(); }, 20000));
    }

    void cellsAreDrawnWithTheLabelAndSelectionFrame() {
        Env e;
        writePicture(e.dir.file("draw/x.png"), 10, 10, Qt::white);
        CThumbListCtrl list;
        list.setCacheIndex(&e.index);
        list.resize(600, 400);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QVERIFY(list.loadFolder(e.folder("draw")));
        QVERIFY(waitForCache(list));
        list.selectIndex(1);
        QListView* v = list.iconView();
        const QRect item = v->visualRect(list.model()->index(1, 0));
        ThumbCellDelegate* d = qobject_cast<ThumbCellDelegate*>(v->itemDelegate());
        QVERIFY(d);
        QCOMPARE(d->gridSize(), QSize(130, 110));
        const QImage shot = v->viewport()->grab().toImage();
        const QRect box = d->boxIn(item);
        QCOMPARE(box.size(), QSize(120, 100));
        // The 4-pixel frame of a selected cell.
        QCOMPARE(shot.pixelColor(box.left() + 1, box.center().y()),
                 ThumbCellDelegate::selectionColour());
        QCOMPARE(shot.pixelColor(box.left() + 3, box.center().y()),
                 ThumbCellDelegate::selectionColour());
        // Dark label text inside the label strip (smoothed at its edges).
        bool dark = false;
        const QRect label = d->labelIn(item);
        for (int y = label.top(); y <= label.bottom() && !dark; ++y)
            for (int x = label.left() + 4; x < label.right() - 4 && !dark; ++x)
                dark = qGray(shot.pixel(x, y)) < 90;
        QVERIFY(dark);
    }

    void captureDatesComeFromTheCameraFiles() {
        if (kamelo::test::testDataDir().empty())
            QSKIP("sample pictures not found; set KAMELO_TESTDATA");
        Env e;
        const std::string f = e.dir.file("camera/");
        fs::create_directories(f);
        for (const char* n : {"Canon_40D.jpg", "Nikon_D70.jpg", "Canon PowerShot S330.jpg"})
            fs::copy_file(kamelo::test::testDataFile(std::string("camera/") + n), f + n);
        CThumbListCtrl list;
        list.setCacheIndex(&e.index);
        QVERIFY(list.loadFolder(e.folder("camera")));
        QVERIFY(waitForCache(list));
        QFile tsv(QString::fromStdString(kamelo::test::testDataFile("camera/EXPECTED.tsv")));
        QVERIFY(tsv.open(QIODevice::ReadOnly));
        const QStringList header = QString::fromUtf8(tsv.readLine()).trimmed().split('\t');
        const int dateColumn = header.indexOf("DateTimeOriginal");
        int checked = 0;
        while (!tsv.atEnd()) {
            const QStringList row = QString::fromUtf8(tsv.readLine()).split('\t');
            const int at = names(list).indexOf(row.value(0));
            if (at < 0)
                continue;
            const CThumbData* d = list.recordAt(at);
            QVERIFY(d->thumbnailDone);
            const QString date = row.value(dateColumn);
            if (date.isEmpty() || date == "-") {
                QCOMPARE(d->dateTakenKnown, 0);
            } else {
                QCOMPARE(d->dateTakenKnown, 1);
                QCOMPARE(QDateTime::fromSecsSinceEpoch(d->dateTaken)
                             .toString(QStringLiteral("yyyy:MM:dd HH:mm:ss")),
                         date);
            }
            ++checked;
        }
        QCOMPARE(checked, 3);
    }
};

QTEST_MAIN(TestThumbList)
#include "tst_thumblist.moc"
