// The cells the thumbnail list holds in memory: only those near the view,
// the rest parked and given back unchanged.

#include "browser/core/cacheindex.h"
#include "browser/thumbfolder.h"
#include "browser/thumblistctrl.h"
#include "browser/thumblistmodel.h"
#include "browser/thumbrenderer.h"
#include "imaging/core/filebytes.h"
#include "tests/browser/thumblistenv.h"
#include "tests/support/scratchdir.h"

#include <QImage>
#include <QListView>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

using namespace kamelo;
using namespace kamelo::test::thumblist;
namespace fs = std::filesystem;

namespace {

// A cell no other row has: the row number written into its pixels.
QImage numberedCell(int row, int w, int h) {
    QImage cell(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            cell.setPixel(x, y, qRgb(row & 255, (row >> 8) & 255, (x * 8 + y) & 255));
    return cell;
}

// n of the file "pNNNNN.jpg".
int fileNumber(const CThumbData& d) {
    return QString::fromStdString(d.displayName).mid(1, 5).toInt();
}

QImage cellOf(const CThumbListCtrl& list, int row) {
    return list.model()
        ->data(list.model()->index(row, 0), ThumbListModel::CellImageRole)
        .value<QImage>();
}

// The most cells a list may hold: its screens kept around the visible one.
int cellBound(const CThumbListCtrl& list) {
    const QSize grid = list.iconView()->gridSize();
    const QSize area = list.iconView()->viewport()->size();
    const int screen =
        std::max(1, area.width() / grid.width()) * (area.height() / grid.height() + 2);
    return (2 * CThumbListCtrl::kKeptScreens + 1) * screen + 1;
}

} // namespace

class TestThumbCells : public QObject {
    Q_OBJECT
private slots:
    void aHugeCachedFolderHoldsOnlyTheCellsNearTheView() {
        Env e;
        e.settings.thumbWidth = 32;
        e.settings.thumbHeight = 24;
        const int pictures = 10000;
        const std::string f = e.dir.file("huge/");
        fs::create_directories(f);
        for (int i = 0; i < pictures; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "p%05d.jpg", i);
            kamelo::test::writeFile(f + name, "");
        }
        {
            // The cache pair as a finished load stores it, every cell its own.
            ThumbFolder::Options o;
            o.width = 32;
            o.height = 24;
            o.border = e.settings.thumbBorder;
            o.design = e.settings.thumbDesign;
            ThumbFolder folder(o);
            QVERIFY(folder.enumerate(e.folder("huge")));
            QCOMPARE(folder.pictureCount(), pictures);
            for (int row = 1; row < int(folder.records().size()); ++row) {
                ThumbResult r;
                r.decoded = true;
                r.cell = numberedCell(fileNumber(folder.records()[size_t(row)]), 32, 24);
                r.pictureRect = {1, 1, 30, 22};
                folder.applyThumbnail(row, r);
            }
            QVERIFY(folder.saveCache(e.index));
        }
        CThumbListCtrl list;
        list.setCacheIndex(&e.index);
        list.resize(600, 400);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QVERIFY(list.loadFolder(e.folder("huge")));
        QVERIFY(list.isListing()); // its pair is read on a worker
        QTRY_VERIFY(!list.isListing());
        QVERIFY(!list.isLoading()); // from the cache
        QCOMPARE(list.itemCount(), pictures + 1);
        ThumbFolder* folder = list.model()->folder();
        QListView* v = list.iconView();
        v->setFocus();
        QCoreApplication::processEvents();
        const int bound = cellBound(list);
        QVERIFY(bound < 2000);

        auto visibleRows = [&] {
            QList<int> rows;
            for (int i = 0; i < list.itemCount(); ++i)
                if (v->viewport()->rect().intersects(v->visualRect(list.model()->index(i, 0))))
                    rows << i;
            return rows;
        };
        auto checkVisibleCells = [&] {
            const QList<int> rows = visibleRows();
            QVERIFY(!rows.isEmpty());
            for (int row : rows)
                if (row > 0)
                    QCOMPARE(cellOf(list, row),
                             numberedCell(fileNumber(*list.recordAt(row)), 32, 24));
        };
        // Down the whole folder a page at a time, then back to the top with
        // Home, and down again with End: what is held stays bounded.
        int pages = 0, most = 0;
        for (int round = 0; round < 2; ++round) {
            while (list.firstSelectedIndex() < list.itemCount() - 1 && pages < 2000) {
                QTest::keyClick(v, Qt::Key_PageDown);
                QCoreApplication::processEvents();
                most = std::max(most, folder->heldCellCount());
                QVERIFY2(folder->heldCellCount() <= bound,
                         qPrintable(QStringLiteral("%1 cells held").arg(folder->heldCellCount())));
                if (++pages % 50 == 0)
                    checkVisibleCells();
            }
            checkVisibleCells();
            QTest::keyClick(v, Qt::Key_Home);
            QCoreApplication::processEvents();
            QCOMPARE(list.firstSelectedIndex(), 0);
            QVERIFY(folder->heldCellCount() <= bound);
            checkVisibleCells();
            QTest::keyClick(v, Qt::Key_End);
            QCoreApplication::processEvents();
            QVERIFY(folder->heldCellCount() <= bound);
            checkVisibleCells();
            QTest::keyClick(v, Qt::Key_Home);
            QCoreApplication::processEvents();
        }
        QVERIFY(pages > 20);
        QVERIFY(most > 0);
        // Every cell still comes back as stored.
        for (int row = 1; row < list.itemCount(); row += 97)
            QCOMPARE(cellOf(list, row), numberedCell(fileNumber(*list.recordAt(row)), 32, 24));
    }

    void cellsParkedWhileLoadingComeBackAndStoreTheSamePair() {
        Env e;
        const int pictures = 300;
        const std::string f = e.dir.file("parked/");
        fs::create_directories(f);
        for (int i = 0; i < pictures; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "p%05d.jpg", i);
            kamelo::test::writeFile(f + name, "");
        }
        // The same cells given to a folder that parks them and to one that
        // keeps them all: the parked one lets them go, gives them back
        // unchanged and stores the same cache file.
        auto fill = [&](ThumbFolder& folder) {
            QVERIFY(folder.enumerate(e.folder("parked")));
            for (int row = 1; row < int(folder.records().size()); ++row) {
                ThumbResult r;
                r.decoded = true;
                r.cell = numberedCell(fileNumber(folder.records()[size_t(row)]), 40, 30);
                folder.applyThumbnail(row, r);
                if (row % 64 == 0)
                    folder.releaseCellsOutside(0, -1);
            }
        };
        ThumbFolder::Options o;
        o.width = 40;
        o.height = 30;
        ThumbFolder kept(o);
        fill(kept);
        o.spillFolder = e.cache;
        ThumbFolder parked(o);
        fill(parked);
        QVERIFY(kept.heldCellCount() > pictures);
        QVERIFY2(parked.heldCellCount() < 64 + 4,
                 qPrintable(QStringLiteral("%1 cells held").arg(parked.heldCellCount())));
        // Nothing of the parking file is left to see in the folder.
        for (const auto& entry : fs::directory_iterator(e.cache))
            QFAIL(entry.path().c_str());
        for (int row = 1; row <= pictures; row += 13)
            QCOMPARE(parked.imageAt(row),
                     numberedCell(fileNumber(parked.records()[size_t(row)]), 40, 30));
        parked.releaseCellsOutside(5, 9); // only rows 5..9 stay
        QVERIFY(parked.heldCellCount() <= 5 + 4);
        QVERIFY(parked.saveCache(e.index));
        const std::string parkedCac = CacheIndex::cacPath(e.index.lookup(parked.folderPath()));
        std::vector<uint8_t> a, b;
        QVERIFY(imaging::readWholeFile(parkedCac, a) >= 1);
        QVERIFY(kept.saveCache(e.index));
        QVERIFY(imaging::readWholeFile(CacheIndex::cacPath(e.index.lookup(kept.folderPath())), b) >=
                1);
        QVERIFY(a == b);
        QVERIFY(parked.heldCellCount() <= 5 + 4); // the save kept nothing

        // A folder the parking file cannot be made in keeps every cell.
        o.spillFolder = e.dir.file("no such folder");
        ThumbFolder unparked(o);
        fill(unparked);
        QCOMPARE(unparked.heldCellCount(), kept.heldCellCount());
    }

    void cellsMadeByTheLoaderComeBackFromTheStoredPairWhenScrolledAway() {
        Env e;
        e.settings.thumbWidth = 60;
        e.settings.thumbHeight = 50;
        const int pictures = 800;
        for (int i = 0; i < pictures; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "p%03d.png", i);
            writePattern(e.dir.file(std::string("made/") + name), 16 + i % 7, 12 + i % 5, i);
        }
        CThumbListCtrl list;
        list.setCacheIndex(&e.index);
        list.resize(400, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QVERIFY(list.loadFolder(e.folder("made"), CThumbListCtrl::Refresh::Full));
        QSignalSpy saved(&list, &CThumbListCtrl::cacheSaved);
        ThumbFolder* folder = list.model()->folder();
        // While the loader runs, cells far from the view are parked as they
        // arrive: what is held stays near a screenful, not the folder.
        int mostWhileLoading = 0;
        QVERIFY(QTest::qWaitFor(
            [&] {
                mostWhileLoading = std::max(mostWhileLoading, folder->heldCellCount());
                return !list.isLoading();
            },
            60000));
        QVERIFY2(mostWhileLoading <= cellBound(list) + CThumbListCtrl::kReleaseEvery,
                 qPrintable(QStringLiteral("%1 cells held while loading").arg(mostWhileLoading)));
        QVERIFY(saved.count() == 1 || saved.wait(5000));
        QListView* v = list.iconView();
        v->setFocus();
        QTest::keyClick(v, Qt::Key_End);
        QCoreApplication::processEvents();
        const int bound = cellBound(list);
        QVERIFY(bound < pictures / 2);
        QVERIFY2(folder->heldCellCount() <= bound,
                 qPrintable(QStringLiteral("%1 cells held").arg(folder->heldCellCount())));
        QTest::keyClick(v, Qt::Key_Home);
        QCoreApplication::processEvents();
        QVERIFY(folder->heldCellCount() <= bound);
        // The cells read back equal a fresh rendering of each picture.
        ThumbFolder cells(folder->options());
        const ThumbRecipe recipe = cells.recipe(true);
        for (int row = 1; row < list.itemCount(); row += 7) {
            const ThumbResult r = ThumbRenderer::render(list.recordAt(row)->fullPath, recipe);
            QVERIFY2(r.decoded, list.recordAt(row)->fullPath.c_str());
            QCOMPARE(cellOf(list, row), r.cell);
        }
    }
};

QTEST_MAIN(TestThumbCells)
#include "tst_thumbcells.moc"
