#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "browser/changeiconthread.h"
#include "browser/core/cacheindex.h"
#include "browser/core/thumbarchive.h"
#include "browser/thumbcelldelegate.h"
#include "browser/thumbfolder.h"
#include "browser/thumblistctrl.h"
#include "browser/thumblistmodel.h"
#include "imaging/core/filebytes.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <QFile>
#include <QImage>
#include <QListView>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace kamelo;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;

namespace {

void writePicture(const std::string& path, int w, int h, QColor colour) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    fs::create_directories(fs::path(path).parent_path());
    QVERIFY(img.save(QString::fromStdString(path)));
}

// A settings store, settings object and cache folder of one test.
struct Env {
    ScratchDir dir;
    SettingsStore store{dir.file("k.sqlite")};
    CUiSettings settings;
    std::string cache = dir.file("cache");
    CacheIndex index{store, cache};

    Env() {
        fs::create_directories(cache);
        setUiSettings(&settings);
        setSettingsStore(&store);
    }
    ~Env() {
        setUiSettings(nullptr);
        setSettingsStore(nullptr);
    }
    QString folder(const char* name) const { return QString::fromStdString(dir.file(name)); }
};

// Waits for the list's loader to finish and store the folder.
bool waitForCache(CThumbListCtrl& list) {
    QSignalSpy saved(&list, &CThumbListCtrl::cacheSaved);
    return QTest::qWaitFor([&] { return !list.isLoading(); }, 20000) &&
           (saved.count() > 0 || saved.wait(2000));
}

QStringList names(const CThumbListCtrl& list) {
    QStringList n;
    for (int i = 0; i < list.itemCount(); ++i)
        n << QString::fromStdString(list.recordAt(i)->displayName);
    return n;
}

QColor centreOf(const CThumbListCtrl& list, int row) {
    const QImage cell = list.model()
                            ->data(list.model()->index(row, 0), ThumbListModel::CellImageRole)
                            .value<QImage>();
    const CellRect r = list.recordAt(row)->pictureRect;
    return cell.pixelColor((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// A picture with detail in every direction, so that any difference in
// decoding or fitting shows in the cell.
void writePattern(const std::string& path, int w, int h, int seed) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(
                x, y,
                qRgb((x * 7 + seed * 31) & 255, (y * 5 + x * y) & 255, ((x ^ y) + seed) & 255));
    fs::create_directories(fs::path(path).parent_path());
    QVERIFY(img.save(QString::fromStdString(path)));
}

struct LoaderRun {
    QList<int> order;
    std::map<int, ThumbResult> results;
};

// Runs one loader to its end; the results as they arrive on this thread.
LoaderRun runLoader(const std::vector<CChangeIconThread::Item>& items, const ThumbRecipe& recipe,
                    int jobs) {
    LoaderRun run;
    CChangeIconThread loader(items, recipe, 3, nullptr, jobs);
    QObject::connect(&loader, &CChangeIconThread::thumbnailReady, &loader,
                     [&](quint64, int index, const ThumbResult& r) {
                         run.order << index;
                         run.results[index] = r;
                     });
    QSignalSpy done(&loader, &CChangeIconThread::allDone);
    loader.start();
    if (!done.wait(60000))
        qWarning("the loader did not finish");
    QCoreApplication::processEvents();
    return run;
}

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

    void loaderFillsEveryPictureAndTheFolderIsCachedDespiteACorruptFile() {
        Env e;
        const std::string f = e.dir.file("mixed/");
        writePicture(f + "small.png", 10, 10, Qt::blue);
        writePicture(f + "wide.png", 400, 100, Qt::green);
        kamelo::test::writeFile(f + "corrupt.jpg", "\xFF\xD8\xFF\xE0 not really a jpeg");
        kamelo::test::writeFile(f + "readme.txt", "text");
        CThumbListCtrl list;
        list.setCacheIndex(&e.index);
        QSignalSpy progress(&list, &CThumbListCtrl::progressChanged);
        QSignalSpy status(&list, &CThumbListCtrl::statusText);
        QVERIFY(list.loadFolder(e.folder("mixed")));
        QVERIFY(list.isLoading());
        QCOMPARE(list.itemCount(), 4); // "..", three pictures; the text file is left out
        QVERIFY(status.count() >= 1);
        QCOMPARE(status.first().at(1).toString(), QStringLiteral("총 아이템수 : 3개"));
        const QImage placeholder =
            list.model()
                ->data(list.model()->index(1, 0), ThumbListModel::CellImageRole)
                .value<QImage>();
        QVERIFY(!placeholder.isNull());
        QVERIFY(waitForCache(list));

        // The 10 x 10 picture fills the whole 100 x 65 box height (65 x 65).
        const int small = names(list).indexOf("small.png");
        QCOMPARE(list.recordAt(small)->pictureRect, (CellRect{27, 10, 92, 75}));
        QCOMPARE(centreOf(list, small), QColor(Qt::blue));
        const int wide = names(list).indexOf("wide.png");
        QCOMPARE(list.recordAt(wide)->pictureRect, (CellRect{10, 30, 110, 55}));
        const int corrupt = names(list).indexOf("corrupt.jpg");
        QCOMPARE(list.recordAt(corrupt)->thumbnailDone, 1);
        QCOMPARE(list.recordAt(corrupt)->pictureRect, (CellRect{44, 34, 76, 66}));
        // Progress went up to 100 and ended with 0.
        QVERIFY(progress.count() >= 2);
        QCOMPARE(progress.last().at(0).toInt(), 0);

        // First save: 0.cac / 0.lis and "cache count" 1.
        QVERIFY(fs::exists(e.cache + "/0.cac"));
        QVERIFY(fs::exists(e.cache + "/0.lis"));
        QCOMPARE(e.store.getInt(keys::kCache, keys::kCacheCount, -1), 1);
        QCOMPARE(QString::fromStdString(e.index.lookup(e.folder("mixed").toStdString())),
                 QString::fromStdString(e.cache + "/0"));
    }

    void aRevisitComesFromTheCacheUntilTheFolderChanges() {
        Env e;
        const std::string f = e.dir.file("cached/");
        writePicture(f + "one.png", 50, 50, Qt::red);
        writePicture(f + "two.png", 50, 50, Qt::yellow);
        CThumbListCtrl list;
        list.setCacheIndex(&e.index);
        QVERIFY(list.loadFolder(e.folder("cached")));
        QVERIFY(waitForCache(list));
        const std::vector<CThumbData> first = list.model()->folder()->records();

        // Same files: the cache, no loader, the finished thumbnails at once.
        QVERIFY(list.loadFolder(e.folder("cached"), CThumbListCtrl::Refresh::Quick));
        QVERIFY(!list.isLoading());
        QCOMPARE(list.model()->folder()->records(), first);
        QCOMPARE(centreOf(list, names(list).indexOf("two.png")), QColor(Qt::yellow));

        // Changed in place (same name, same listing): the cached thumbnail stays.
        writePicture(f + "two.png", 50, 50, Qt::cyan);
        QVERIFY(list.loadFolder(e.folder("cached")));
        QVERIFY(!list.isLoading());
        QCOMPARE(centreOf(list, names(list).indexOf("two.png")), QColor(Qt::yellow));

        // A full refresh rebuilds and writes the next pair.
        QVERIFY(list.loadFolder(e.folder("cached"), CThumbListCtrl::Refresh::Full));
        QVERIFY(list.isLoading());
        QVERIFY(waitForCache(list));
        QCOMPARE(centreOf(list, names(list).indexOf("two.png")), QColor(Qt::cyan));
        QVERIFY(fs::exists(e.cache + "/1.lis"));
        QCOMPARE(e.store.getInt(keys::kCache, keys::kCacheCount, -1), 2);

        // Added, removed and renamed files make the pair stale: it is removed.
        const auto staleAfter = [&](const std::function<void()>& change) {
            const std::string base = e.index.lookup(e.folder("cached").toStdString());
            change();
            if (!list.loadFolder(e.folder("cached")))
                return false;
            const bool fresh =
                list.isLoading() && !fs::exists(base + ".lis") && !fs::exists(base + ".cac");
            return waitForCache(list) && fresh;
        };
        QVERIFY(staleAfter([&] { writePicture(f + "three.png", 5, 5, Qt::red); }));
        QVERIFY(staleAfter([&] { fs::remove(f + "one.png"); }));
        QVERIFY(staleAfter([&] { fs::rename(f + "two.png", f + "deux.png"); }));
        // A damaged item list falls back to a normal load as well.
        QVERIFY(staleAfter([&] {
            const std::string base = e.index.lookup(e.folder("cached").toStdString());
            kamelo::test::writeFile(base + ".lis", "\x02\x00\xFF\xFF\x01");
        }));
    }

    void foldersWithoutPicturesStartNoLoaderAndAreNotCached() {
        Env e;
        fs::create_directories(e.dir.file("only/a"));
        fs::create_directories(e.dir.file("only/b"));
        CThumbListCtrl list;
        list.setCacheIndex(&e.index);
        QVERIFY(list.loadFolder(e.folder("only")));
        QCOMPARE(list.itemCount(), 3);
        QVERIFY(!list.isLoading());
        QCOMPARE(QString::fromStdString(e.index.lookup(e.folder("only").toStdString())),
                 QStringLiteral("NotFound"));
        QVERIFY(!list.loadFolder(e.folder("missing")));
        QCOMPARE(list.itemCount(), 0);
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

    void stoppingMidFolderNeverMixesThumbnails_data() {
        QTest::addColumn<int>("jobs");
        QTest::newRow("one thread") << 1;
        QTest::newRow("two threads") << 2;
        QTest::newRow("four threads") << 4;
    }

    void stoppingMidFolderNeverMixesThumbnails() {
        QFETCH(int, jobs);
        Env e;
        for (int i = 0; i < 40; ++i) {
            writePicture(e.dir.file("red/" + std::to_string(i) + ".png"), 300, 200, Qt::red);
            if (i < 12)
                writePicture(e.dir.file("blue/" + std::to_string(i) + ".png"), 300, 200, Qt::blue);
        }
        CThumbListCtrl list;
        list.setCacheIndex(&e.index);
        list.setThumbnailJobs(jobs);
        for (int round = 0; round < 25; ++round) {
            QVERIFY(list.loadFolder(e.folder("red"), CThumbListCtrl::Refresh::Full));
            QTest::qWait(round % 5); // stop at different points of the walk
            QVERIFY(list.loadFolder(e.folder("blue"), CThumbListCtrl::Refresh::Full));
            QVERIFY(waitForCache(list));
            QCoreApplication::processEvents(); // anything still queued from the red loader
            for (int row = 1; row < list.itemCount(); ++row)
                QCOMPARE(centreOf(list, row), QColor(Qt::blue));
        }
    }

    void theLoaderStartsAtTheFirstVisibleItemAndWrapsAround_data() {
        QTest::addColumn<int>("jobs");
        QTest::newRow("one thread") << 1;
        QTest::newRow("two threads") << 2;
        QTest::newRow("five threads") << 5;
    }

    void theLoaderStartsAtTheFirstVisibleItemAndWrapsAround() {
        QFETCH(int, jobs);
        Env e;
        std::vector<CChangeIconThread::Item> items;
        items.push_back({"..", false, false});
        for (int i = 1; i <= 6; ++i) {
            const std::string p = e.dir.file("walk/" + std::to_string(i) + ".png");
            writePicture(p, 4, 4, Qt::red);
            items.push_back({p, true, i == 2}); // item 2 is done already
        }
        ThumbFolder cells({});
        CChangeIconThread loader(items, cells.recipe(false), 7, nullptr, jobs);
        QCOMPARE(loader.jobs(), jobs);
        QList<int> order;
        connect(&loader, &CChangeIconThread::thumbnailReady, this,
                [&](quint64 generation, int index, const ThumbResult& r) {
                    QCOMPARE(generation, quint64(7));
                    QVERIFY(r.decoded);
                    order << index;
                });
        QSignalSpy done(&loader, &CChangeIconThread::allDone);
        loader.setFirstVisible(4);
        loader.start();
        QVERIFY(done.wait(10000));
        QCoreApplication::processEvents();
        QCOMPARE(order, (QList<int>{4, 5, 6, 1, 3}));
    }

    void parallelThumbnailsGiveTheSameCellsAsOneThread_data() {
        QTest::addColumn<bool>("useStamp");
        QTest::newRow("pictures") << false;
        QTest::newRow("stamps where present") << true;
    }

    void parallelThumbnailsGiveTheSameCellsAsOneThread() {
        QFETCH(bool, useStamp);
        Env e;
        std::vector<CChangeIconThread::Item> items;
        items.push_back({"..", false, false});
        const std::string f = e.dir.file("same/");
        const QSize sizes[] = {{640, 480}, {97, 301}, {1200, 90}, {3, 2}, {120, 100}, {333, 333}};
        for (int i = 0; i < 12; ++i) {
            const QSize z = sizes[i % 6];
            const std::string p = f + std::to_string(i) + (i % 3 ? ".png" : ".jpg");
            writePattern(p, z.width(), z.height(), i);
            items.push_back({p, true, false});
        }
        kamelo::test::writeFile(f + "broken.jpg", "\xFF\xD8\xFF\xE0 not really a jpeg");
        items.push_back({f + "broken.jpg", true, false});
        items.push_back({f + "notes.txt", false, false});
        if (!kamelo::test::testDataDir().empty())
            for (const char* n : {"Canon_40D.jpg", "Nikon_D70.jpg", "sony-d700.jpg"})
                items.push_back(
                    {kamelo::test::testDataFile(std::string("camera/") + n), true, false});
        ThumbFolder cells({});
        const ThumbRecipe recipe = cells.recipe(useStamp);

        const LoaderRun one = runLoader(items, recipe, 1);
        int pictures = 0;
        for (const auto& item : items)
            pictures += item.picture ? 1 : 0;
        QCOMPARE(one.order.size(), pictures);
        for (const auto& [index, r] : one.results)
            QCOMPARE(r.decoded, index != 13); // all but the broken file
        for (int jobs : {2, 3, 6}) {
            const LoaderRun many = runLoader(items, recipe, jobs);
            // The same walk, reported in the same order.
            QCOMPARE(many.order, one.order);
            for (const auto& [index, r] : one.results) {
                const ThumbResult& m = many.results.at(index);
                QCOMPARE(m.decoded, r.decoded);
                QCOMPARE(m.stopped, false);
                QCOMPARE(m.cell.size(), r.cell.size());
                QVERIFY2(
                    m.cell == r.cell,
                    qPrintable(QStringLiteral("cell %1 with %2 threads").arg(index).arg(jobs)));
                QCOMPARE(m.pictureRect.left, r.pictureRect.left);
                QCOMPARE(m.pictureRect.top, r.pictureRect.top);
                QCOMPARE(m.pictureRect.right, r.pictureRect.right);
                QCOMPARE(m.pictureRect.bottom, r.pictureRect.bottom);
                QCOMPARE(m.dateTakenKnown, r.dateTakenKnown);
                QCOMPARE(m.dateTaken, r.dateTaken);
            }
        }
    }

    void aNewFirstVisibleItemComesNextAfterTheThumbnailsAlreadyUnderWay_data() {
        QTest::addColumn<int>("jobs");
        QTest::newRow("one thread") << 1;
        QTest::newRow("three threads") << 3;
    }

    void aNewFirstVisibleItemComesNextAfterTheThumbnailsAlreadyUnderWay() {
        QFETCH(int, jobs);
        Env e;
        std::vector<CChangeIconThread::Item> items;
        items.push_back({"..", false, false});
        const int count = 40;
        for (int i = 1; i < count; ++i) {
            const std::string p = e.dir.file("scroll/" + std::to_string(i) + ".png");
            writePattern(p, 200, 150, i);
            items.push_back({p, true, false});
        }
        ThumbFolder cells({});
        CChangeIconThread loader(items, cells.recipe(false), 1, nullptr, jobs);
        QList<int> order;
        int changedAfter = -1;
        // Reported on the loader's own thread: the user scrolls exactly
        // after the third thumbnail.
        connect(
            &loader, &CChangeIconThread::thumbnailReady, this,
            [&](quint64, int index, const ThumbResult&) {
                order << index;
                if (order.size() == 3) {
                    changedAfter = order.size();
                    loader.setFirstVisible(30);
                }
            },
            Qt::DirectConnection);
        QSignalSpy done(&loader, &CChangeIconThread::allDone);
        loader.start();
        QVERIFY(done.wait(30000));
        QCOMPARE(changedAfter, 3);
        QCOMPARE(order.size(), count - 1);
        QCOMPARE(QSet<int>(order.begin(), order.end()).size(), count - 1);
        QCOMPARE(order.mid(0, 3), (QList<int>{1, 2, 3}));
        // Only thumbnails already handed out before the scroll may come
        // first: none with one thread, at most two per thread with more.
        const int stale = int(order.indexOf(30)) - changedAfter;
        QVERIFY2(stale >= 0 && stale <= (jobs == 1 ? 0 : 2 * jobs - 1),
                 qPrintable(QStringLiteral("%1 before the visible item").arg(stale)));
        for (int k = changedAfter; k < changedAfter + stale; ++k)
            QVERIFY(order[k] < 30);
        // Then the walk from the visible item on, wrapping around to what is left.
        QList<int> walk;
        for (int i = 30; i < count; ++i)
            walk << i;
        for (int i = 1; i < 30; ++i)
            if (!order.mid(0, changedAfter + stale).contains(i))
                walk << i;
        QCOMPARE(order.mid(changedAfter + stale), walk);
    }

    void aLoaderStuckInADecodeIsCutLooseAndGoesWhenItEnds_data() {
        QTest::addColumn<int>("jobs");
        QTest::newRow("one thread") << 1;
        QTest::newRow("three threads") << 3;
    }

    void aLoaderStuckInADecodeIsCutLooseAndGoesWhenItEnds() {
        QFETCH(int, jobs);
        Env e;
        // A picture whose decode and reduction take far longer than the stop
        // timeout (FIFOs no longer block a read: they are refused at once).
        const std::string big = e.dir.file("big.png");
        {
            QImage img(10000, 10000, QImage::Format_RGB888);
            img.fill(QColor(200, 180, 160));
            QVERIFY(img.save(QString::fromStdString(big)));
        }
        ThumbFolder cells({});
        // Pictures beside it keep the other threads busy while one hangs.
        std::vector<CChangeIconThread::Item> items{{big, true, false}};
        for (int i = 0; i < 6; ++i) {
            const std::string p = e.dir.file("ok/" + std::to_string(i) + ".png");
            writePicture(p, 50, 50, Qt::green);
            items.push_back({p, true, false});
        }
        auto* loader = new CChangeIconThread(items, cells.recipe(true), 1, nullptr, jobs);
        int reports = 0;
        connect(loader, &CChangeIconThread::thumbnailReady, this, [&] { ++reports; });
        QPointer<CChangeIconThread> alive(loader);
        loader->start();
        QTest::qWait(20);
        QVERIFY(!CChangeIconThread::stopAndRelease(loader, 1));
        // The loader ends on its own and deletes itself.
        QVERIFY(QTest::qWaitFor([&] { return alive.isNull(); }, 60000));
        QCOMPARE(reports, 0);
    }

    void aFifoInTheListIsSkippedAndTheLoaderFinishes() {
        Env e;
        // A listed file replaced by a named pipe: opening it for reading
        // would wait for a writer for ever.
        const std::string pipe = e.dir.file("stuck.jpg");
        QCOMPARE(::mkfifo(pipe.c_str(), 0600), 0);
        ThumbFolder cells({});
        CChangeIconThread loader({{pipe, true, false}}, cells.recipe(true), 1);
        QSignalSpy done(&loader, &CChangeIconThread::allDone);
        loader.start();
        QVERIFY(done.wait(20000));
        QVERIFY(loader.wait(20000));
    }

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

    void aCacheFolderThatIsAFileOnlyLeavesTheFolderUncached() {
        Env e;
        const std::string notAFolder = e.dir.file("cachefile");
        kamelo::test::writeFile(notAFolder, "x");
        CacheIndex index{e.store, notAFolder};
        writePicture(e.dir.file("pics/a.png"), 20, 20, Qt::red);
        CThumbListCtrl list;
        list.setCacheIndex(&index);
        QSignalSpy saved(&list, &CThumbListCtrl::cacheSaved);
        QVERIFY(list.loadFolder(e.folder("pics")));
        // The pair cannot be written (nor its half removed): the list goes on.
        QVERIFY(QTest::qWaitFor([&] { return !list.isLoading(); }, 20000));
        QCoreApplication::processEvents();
        QCOMPARE(saved.count(), 0);
        QCOMPARE(names(list), (QStringList{"..", "a.png"}));
        QVERIFY(list.recordAt(1)->thumbnailDone);
        QCOMPARE(index.lookup(ThumbFolder::cacheKey(e.folder("pics"))), std::string("NotFound"));
        QCOMPARE(kamelo::test::readFile(notAFolder), std::string("x"));
    }
};

QTEST_MAIN(TestThumbList)
#include "tst_thumblist.moc"
