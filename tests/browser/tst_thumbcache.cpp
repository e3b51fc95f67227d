// The thumbnail list's cache pair: written after a load, read back on a
// revisit until the folder changes, and never in the way when it cannot be.

#include "base/settingskeys.h"
#include "browser/core/cacheindex.h"
#include "browser/thumbfolder.h"
#include "browser/thumblistctrl.h"
#include "browser/thumblistmodel.h"
#include "tests/browser/thumblistenv.h"
#include "tests/support/scratchdir.h"

#include <QImage>
#include <QSignalSpy>
#include <QtTest>

#include <filesystem>
#include <functional>

using namespace kamelo;
using namespace kamelo::test::thumblist;
namespace fs = std::filesystem;

class TestThumbCache : public QObject {
    Q_OBJECT
private slots:
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

QTEST_MAIN(TestThumbCache)
#include "tst_thumbcache.moc"
