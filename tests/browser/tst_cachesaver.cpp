// The folder cache pair written on a worker thread: the same bytes as the
// row-by-row stream the list wrote on its own thread, the old pair kept
// whenever a write is given up or fails, and the window's thread free while
// a big pair is written.
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "browser/core/cacheindex.h"
#include "browser/core/thumbarchive.h"
#include "browser/core/thumbimagelist.h"
#include "browser/thumbcachesaver.h"
#include "browser/thumbcachesnapshot.h"
#include "browser/thumbfolder.h"
#include "browser/thumblistctrl.h"
#include "tests/support/scratchdir.h"

#include <QImage>
#include <QSignalSpy>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>

using namespace kamelo;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;

namespace {

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> filesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

// Pictures that differ in colour and shape, so every cell is its own.
void writePictures(const std::string& folder, int count) {
    fs::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        QImage img(30 + 7 * i, 20 + 5 * (i % 3), QImage::Format_RGB32);
        img.fill(QColor::fromHsv((i * 37) % 360, 200, 220));
        for (int y = 0; y < img.height(); y += 3)
            img.setPixel(y % img.width(), y, qRgb(i * 20, 255 - i * 9, 7 * i));
        QVERIFY(img.save(QString::fromStdString(folder + "/p" + std::to_string(i) + ".png")));
    }
}

struct Env {
    ScratchDir dir;
    SettingsStore store{dir.file("k.sqlite")};
    CUiSettings settings;
    std::string cache = dir.file("cache");
    CacheIndex index{store, cache};
    std::string pictures = dir.file("pics");

    explicit Env(int count = 9) {
        fs::create_directories(cache);
        setUiSettings(&settings);
        setSettingsStore(&store);
        writePictures(pictures, count);
    }
    ~Env() {
        setUiSettings(nullptr);
        setSettingsStore(nullptr);
    }

    // The folder listed and every thumbnail made, as the list's loader does.
    std::unique_ptr<ThumbFolder> madeFolder(int width, int height, bool spill) {
        ThumbFolder::Options o;
        o.width = width;
        o.height = height;
        o.border = 3;
        if (spill)
            o.spillFolder = cache;
        auto f = std::make_unique<ThumbFolder>(o);
        if (!f->enumerate(pictures))
            return nullptr;
        const ThumbRecipe recipe = f->recipe(false);
        for (int row = 0; row < int(f->records().size()); ++row)
            if (f->isPicture(row))
                f->applyThumbnail(
                    row, ThumbRenderer::render(f->records()[size_t(row)].fullPath, recipe));
        return f;
    }

    // Writes a snapshot on the worker and waits for the index to name it.
    std::string saveOnWorker(std::shared_ptr<ThumbCacheSnapshot> snapshot) {
        ThumbCacheSaver saver;
        QSignalSpy saved(&saver, &ThumbCacheSaver::saved);
        if (!saver.save(index, std::move(snapshot)) || !saved.wait(20000))
            return {};
        return saved.at(0).at(1).toString().toStdString();
    }
};

// The image file as the list wrote it before: a BMP row at a time from
// each cell, fitted when it is not a cell of this size.
std::string rowByRowImages(ThumbFolder& f) {
    const int w = f.options().width, h = f.options().height;
    const std::vector<uint8_t> bytes =
        ThumbImageListFile::write(w, h, f.imageCount(), [&](int i, int y, uint8_t* bgr) {
            QImage cell = f.image(i);
            if (cell.isNull())
                return;
            if (cell.size() != QSize(w, h) || cell.format() != QImage::Format_RGB32)
                cell = cell.scaled(w, h).convertToFormat(QImage::Format_RGB32);
            const auto* s = reinterpret_cast<const QRgb*>(cell.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                bgr[3 * x] = uint8_t(qBlue(s[x]));
                bgr[3 * x + 1] = uint8_t(qGreen(s[x]));
                bgr[3 * x + 2] = uint8_t(qRed(s[x]));
            }
        });
    return {bytes.begin(), bytes.end()};
}

std::string archiveOf(const ThumbFolder& f) {
    const std::vector<uint8_t> bytes = ThumbArchive::write(f.records());
    return {bytes.begin(), bytes.end()};
}

// Where the cells come from when the pair is written.
enum class Cells { Held, Spilled, FromStoredPair };

} // namespace

class TestCacheSaver : public QObject {
    Q_OBJECT

private slots:
    void theWorkersPairEqualsTheRowByRowOne_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("pictures");
        QTest::addColumn<int>("cells");
        QTest::newRow("held in memory") << 120 << 100 << 9 << int(Cells::Held);
        QTest::newRow("parked in the spill") << 120 << 100 << 9 << int(Cells::Spilled);
        QTest::newRow("from the stored pair") << 120 << 100 << 9 << int(Cells::FromStoredPair);
        QTest::newRow("odd width, padded rows") << 37 << 23 << 6 << int(Cells::Spilled);
        QTest::newRow("a whole band of four") << 64 << 48 << 7 << int(Cells::FromStoredPair);
    }
    void theWorkersPairEqualsTheRowByRowOne() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, pictures);
        QFETCH(int, cells);
        Env e(pictures);
        std::unique_ptr<ThumbFolder> f = e.madeFolder(width, height, cells != int(Cells::Held));
        QVERIFY(f);
        if (cells == int(Cells::FromStoredPair)) {
            QVERIFY(f->saveCache(e.index));
            QVERIFY(f->useSavedCells(e.index));
        }
        f->releaseCellsOutside(0, -1);
        if (cells != int(Cells::Held)) // the parent's and the type's icons may stay
            QVERIFY(f->heldCellCount() <= 2);

        const std::string base = e.saveOnWorker(f->cacheSnapshot());
        QVERIFY(!base.empty());
        QCOMPARE(e.index.lookup(ThumbFolder::cacheKey(f->folderPath())), base);
        const std::string images = bytesOf(CacheIndex::cacPath(base));
        const std::string records = bytesOf(CacheIndex::lisPath(base));
        QVERIFY(images == rowByRowImages(*f));
        QVERIFY(records == archiveOf(*f));

        // The command line's save, on its own thread, writes the same pair.
        QVERIFY(f->saveCache(e.index));
        const std::string again = e.index.lookup(ThumbFolder::cacheKey(f->folderPath()));
        QVERIFY(again != base);
        QVERIFY(bytesOf(CacheIndex::cacPath(again)) == images);
        QVERIFY(bytesOf(CacheIndex::lisPath(again)) == records);
        QVERIFY(!fs::exists(CacheIndex::cacPath(base))); // replaced, not kept
    }

    void aWriteGivenUpOrFailedLeavesTheOldPair_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("saver destroyed while writing") << "destroyed";
        QTest::newRow("folder abandoned while writing") << "abandoned";
        QTest::newRow("pair that cannot be written") << "unwritable";
    }
    void aWriteGivenUpOrFailedLeavesTheOldPair() {
        QFETCH(QString, how);
        Env e;
        std::unique_ptr<ThumbFolder> f = e.madeFolder(120, 100, true);
        QVERIFY(f);
        QVERIFY(f->saveCache(e.index));
        const std::string key = ThumbFolder::cacheKey(f->folderPath());
        const std::string old = e.index.lookup(key);
        const std::string oldImages = bytesOf(CacheIndex::cacPath(old));
        const std::string oldRecords = bytesOf(CacheIndex::lisPath(old));
        const std::set<std::string> before = filesIn(e.cache);

        // Big enough that the worker is still at it when it is stopped.
        std::shared_ptr<ThumbCacheSnapshot> snapshot = f->cacheSnapshot();
        snapshot->cells.resize(20000);
        if (how == "unwritable")
            snapshot->width = 5000; // beyond what the image file holds
        auto saver = std::make_unique<ThumbCacheSaver>();
        QSignalSpy saved(saver.get(), &ThumbCacheSaver::saved);
        QSignalSpy failed(saver.get(), &ThumbCacheSaver::failed);
        QVERIFY(saver->save(e.index, snapshot));
        if (how == "destroyed") {
            saver.reset();
        } else {
            if (how == "abandoned")
                saver->abandon(key);
            QVERIFY(QTest::qWaitFor([&] { return !saver->isBusy(); }, 20000));
            QCOMPARE(saved.count(), 0);
            QCOMPARE(failed.count(), how == "unwritable" ? 1 : 0);
        }
        QCoreApplication::processEvents();
        QCOMPARE(e.index.lookup(key), old);
        QVERIFY(bytesOf(CacheIndex::cacPath(old)) == oldImages);
        QVERIFY(bytesOf(CacheIndex::lisPath(old)) == oldRecords);
        QCOMPARE(filesIn(e.cache), before); // no half pair, no temporary file
    }

    void theWindowsThreadRunsWhileABigPairIsWritten() {
        Env e;
        std::unique_ptr<ThumbFolder> f = e.madeFolder(120, 100, false);
        QVERIFY(f);
        std::shared_ptr<ThumbCacheSnapshot> snapshot = f->cacheSnapshot();
        snapshot->cells.resize(8000); // some 300 MB of cells
        const std::string key = snapshot->key;
        ThumbCacheSaver saver;
        QSignalSpy saved(&saver, &ThumbCacheSaver::saved);
        QVERIFY(saver.save(e.index, snapshot));
        // Back at once: nothing is named before the pair is complete.
        QCOMPARE(e.index.lookup(key), std::string(CacheIndex::kNotFound));
        bool ranWhileWriting = false;
        QMetaObject::invokeMethod(
            &saver, [&] { ranWhileWriting = saver.isBusy() && saved.isEmpty(); },
            Qt::QueuedConnection);
        QVERIFY(saved.wait(60000));
        QVERIFY(ranWhileWriting);
        QCOMPARE(e.index.lookup(key), saved.at(0).at(1).toString().toStdString());
    }

    void leavingOrClosingTheListWhileItStoresKeepsAValidPair() {
        Env e(12);
        writePictures(e.dir.file("other"), 2);
        const QString folder = QString::fromStdString(e.pictures);
        const std::string key = ThumbFolder::cacheKey(e.pictures);
        {
            // Left for another folder while the pair is written: it is
            // still stored, and the folder comes back from it.
            CThumbListCtrl list;
            list.setCacheIndex(&e.index);
            QVERIFY(list.loadFolder(folder));
            QVERIFY(QTest::qWaitFor([&] { return !list.isLoading(); }, 20000));
            QVERIFY(list.loadFolder(QString::fromStdString(e.dir.file("other"))));
            QVERIFY(QTest::qWaitFor(
                [&] { return e.index.lookup(key) != CacheIndex::kNotFound && !list.isLoading(); },
                20000));
            QVERIFY(list.loadFolder(folder));
            QVERIFY(!list.isLoading()); // from the cache
            QCOMPARE(list.pictureCount(), 12);
        }
        const std::string old = e.index.lookup(key);
        const std::string oldImages = bytesOf(CacheIndex::cacPath(old));
        {
            // Closed right after its last thumbnail, while the new pair of
            // a full refresh is being written: the old pair stays named
            // unless the new one was complete in time.
            CThumbListCtrl list;
            list.setCacheIndex(&e.index);
            QVERIFY(list.loadFolder(folder, CThumbListCtrl::Refresh::Full));
            QVERIFY(QTest::qWaitFor([&] { return !list.isLoading(); }, 20000));
        }
        QCoreApplication::processEvents();
        const std::string now = e.index.lookup(key);
        if (now == old)
            QVERIFY(bytesOf(CacheIndex::cacPath(old)) == oldImages);
        ThumbImageListReader images(CacheIndex::cacPath(now));
        QVERIFY(images.isOpen());
        QCOMPARE(images.layout().count, 14); // twelve cells, the parent's and the type's icons
        std::vector<CThumbData> records;
        QVERIFY(ThumbArchive::readFile(CacheIndex::lisPath(now), records));
        // Nothing but the pairs named: no half pair, no temporary file.
        // (The other folder's write may have been given up with the list.)
        std::set<std::string> named;
        for (const std::string& base :
             {now, e.index.lookup(ThumbFolder::cacheKey(e.dir.file("other")))})
            if (base != CacheIndex::kNotFound)
                for (const std::string& file :
                     {CacheIndex::cacPath(base), CacheIndex::lisPath(base)})
                    named.insert(fs::path(file).filename().string());
        QCOMPARE(filesIn(e.cache), named);
    }

    void aFolderBeyondWhatAPairCountsStoresItsFirstCells() {
        Env e(3);
        e.settings.thumbWidth = 32; // small cells: a full pair stays small
        e.settings.thumbHeight = 24;
        std::unique_ptr<ThumbFolder> f = e.madeFolder(32, 24, false);
        QVERIFY(f);
        // Thumbnails made again and again until the folder has more cells
        // than the image file can count: the first picture's is among the
        // first, the second's and third's come after the last one stored.
        const ThumbRecipe recipe = f->recipe(false);
        std::vector<ThumbResult> made;
        for (int row = 0; row < 4; ++row)
            made.push_back(ThumbRenderer::render(f->records()[size_t(row)].fullPath, recipe));
        for (int row = 1; row < 4; ++row)
            QVERIFY2(made[size_t(row)].decoded, f->records()[size_t(row)].fullPath.c_str());
        while (f->imageCount() <= ThumbImageListFile::kMaxCount)
            f->applyThumbnail(2, made[2]);
        f->applyThumbnail(3, made[3]);
        const int firstCell = f->records()[1].imageIndex;
        QVERIFY(firstCell < ThumbImageListFile::kMaxCount);

        QVERIFY(f->saveCache(e.index));
        const std::string base = e.index.lookup(ThumbFolder::cacheKey(f->folderPath()));
        ThumbImageListReader images(CacheIndex::cacPath(base));
        QCOMPARE(images.layout().count, ThumbImageListFile::kMaxCount);
        std::vector<CThumbData> records;
        QVERIFY(ThumbArchive::readFile(CacheIndex::lisPath(base), records));
        QCOMPARE(records[1], f->records()[1]); // stored with its cell
        for (size_t row : {size_t(2), size_t(3)}) {
            QCOMPARE(records[row].thumbnailDone, 0); // waits for a new one
            QVERIFY(records[row].imageIndex < ThumbImageListFile::kMaxCount);
        }
        // The stored cells give back what the list holds.
        QVERIFY(f->useSavedCells(e.index));
        f->releaseCellsOutside(0, -1);
        QCOMPARE(f->image(firstCell), made[1].cell);
        QCOMPARE(f->imageAt(3), made[3].cell); // still held: the file has no room for it

        // Listed from the pair: the waiting items get their thumbnails,
        // and the full pair is not written again for them.
        CThumbListCtrl list;
        list.setCacheIndex(&e.index);
        QSignalSpy saved(&list, &CThumbListCtrl::cacheSaved);
        QVERIFY(list.loadFolder(QString::fromStdString(e.pictures)));
        QVERIFY(list.isLoading());
        QVERIFY(QTest::qWaitFor([&] { return !list.isLoading(); }, 20000));
        QCoreApplication::processEvents();
        for (int row = 1; row < list.itemCount(); ++row)
            QVERIFY(list.recordAt(row)->thumbnailDone);
        QCOMPARE(saved.count(), 0);
        QCOMPARE(e.index.lookup(ThumbFolder::cacheKey(f->folderPath())), base);
    }
};

QTEST_MAIN(TestCacheSaver)
#include "tst_cachesaver.moc"
