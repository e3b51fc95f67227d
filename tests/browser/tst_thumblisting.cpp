// A big folder read and sorted on a worker: what the window shows while it
// runs, results that come after another folder was asked for, and the order
// by date made from keys taken when the folder was listed.
#include "browser/thumblistctrl.h"
#include "browser/thumbsort.h"
#include "tests/browser/thumblistenv.h"

#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>

using namespace kamelo;
using namespace kamelo::test::thumblist;
namespace fs = std::filesystem;

namespace {

// count empty pictures named prefix00000.jpg on; a folder this big is
// listed on a worker when count reaches kListAsideFrom.
void writeFolder(const std::string& folder, const char* prefix, int count) {
    fs::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "%s%05d.jpg", prefix, i);
        kamelo::test::writeFile(folder + "/" + name, "");
    }
}

const int kBig = CThumbListCtrl::kListAsideFrom + 100;

bool setModified(const std::string& path, int64_t seconds) {
    const struct timespec t[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
    return ::utimensat(AT_FDCWD, path.c_str(), t, 0) == 0;
}

// Waits until no listing worker is left, so a stale result has come back
// (and been dropped) too.
bool settled(CThumbListCtrl& list) {
    return QTest::qWaitFor([&] { return list.listingWorkers() == 0 && !list.isListing(); }, 30000);
}

} // namespace

class TestThumbListing : public QObject {
    Q_OBJECT

private slots:
    void aStaleListingIsDropped_data() {
        QTest::addColumn<QString>("then");
        QTest::addColumn<int>("expectedItems"); // with the parent entry; 0 for none
        QTest::newRow("a small folder") << "small" << 4;
        QTest::newRow("another big folder") << "other" << kBig + 51;
        QTest::newRow("a folder that cannot be read") << "missing" << 0;
        QTest::newRow("nothing (the list cleared)") << "" << 0;
    }
    void aStaleListingIsDropped() {
        QFETCH(QString, then);
        QFETCH(int, expectedItems);
        Env e;
        e.settings.viewType = 1; // details: no thumbnails made
        writeFolder(e.dir.file("big"), "b", kBig);
        writeFolder(e.dir.file("other"), "o", kBig + 50);
        writeFolder(e.dir.file("small"), "s", 3);
        CThumbListCtrl list;
        QSignalSpy loaded(&list, &CThumbListCtrl::folderLoaded);
        QVERIFY(list.loadFolder(e.folder("big")));
        QVERIFY(list.isListing());

        const QString second = then.isEmpty() ? QString() : e.folder(then.toUtf8().constData());
        if (then.isEmpty())
            list.clearList();
        else
            QCOMPARE(list.loadFolder(second), expectedItems > 0);
        QVERIFY(settled(list));
        QCoreApplication::processEvents();

        QCOMPARE(list.itemCount(), expectedItems);
        QCOMPARE(list.folder(), expectedItems > 0 ? second : QString());
        QCOMPARE(loaded.count(), expectedItems > 0 ? 1 : 0);
        if (expectedItems > 0)
            QCOMPARE(loaded.first().at(0).toString(), second);
        for (const QString& name : names(list))
            QVERIFY2(!name.startsWith('b'), qPrintable(name));
        QVERIFY(!list.isLoading());
    }

    void theWindowRunsEventsWhileABigFolderIsListed() {
        Env e;
        e.settings.viewType = 1;
        const std::string big = e.dir.file("big");
        writeFolder(big, "p", kBig);
        for (int i = 0; i < kBig; ++i) { // newest first by number
            char name[32];
            std::snprintf(name, sizeof name, "/p%05d.jpg", i);
            QVERIFY(setModified(big + name, 1'600'000'000 - i));
        }
        CThumbListCtrl list;
        list.sortBy(ThumbSort::kName, true);
        writeFolder(e.dir.file("small"), "s", 3);
        QVERIFY(list.loadFolder(e.folder("small")));
        QString count = QStringLiteral("the small folder's");
        connect(&list, &CThumbListCtrl::statusText, this, [&](int pane, const QString& text) {
            if (pane == 1)
                count = text;
        });
        QSignalSpy loaded(&list, &CThumbListCtrl::folderLoaded);
        QVERIFY(list.loadFolder(e.folder("big")));
        // Back at once, naming the folder, with nothing of it yet.
        QVERIFY(list.isListing());
        QVERIFY(list.isLoading());
        QCOMPARE(list.folder(), e.folder("big"));
        QCOMPARE(list.itemCount(), 0);
        QCOMPARE(count, QString()); // not the last folder's count

        // The user sorts by date while it is being read.
        bool ranWhileListing = false;
        QTimer::singleShot(0, &list, [&] {
            ranWhileListing = list.isListing();
            list.sortBy(ThumbSort::kDate, true);
        });
        QVERIFY(QTest::qWaitFor([&] { return loaded.count() == 1; }, 30000));
        QVERIFY(ranWhileListing);
        QCOMPARE(list.itemCount(), kBig + 1);
        QVERIFY2(count.contains(QString::number(kBig)), qPrintable(count));
        const QStringList got = names(list);
        QCOMPARE(got.first(), QStringLiteral(".."));
        QCOMPARE(got.at(1), QStringLiteral("p%1.jpg").arg(kBig - 1, 5, 10, QLatin1Char('0')));
        QCOMPARE(got.last(), QStringLiteral("p00000.jpg"));
        QCOMPARE(list.firstSelectedIndex(), 0);
        QVERIFY(!list.isLoading());
    }

    void aBigFolderListedAgainKeepsItsItemsAndCurrentItem() {
        Env e;
        e.settings.viewType = 1;
        writeFolder(e.dir.file("big"), "p", kBig);
        CThumbListCtrl list;
        QVERIFY(list.loadFolder(e.folder("big")));
        QVERIFY(settled(list));
        list.selectIndex(7);
        const QString current = list.pathAt(7);
        kamelo::test::writeFile(e.dir.file("big/a-new.jpg"), "");

        QSignalSpy loaded(&list, &CThumbListCtrl::folderLoaded);
        QVERIFY(list.loadFolder(e.folder("big"), CThumbListCtrl::Refresh::Full));
        QVERIFY(list.isListing());
        QCOMPARE(list.itemCount(), kBig + 1); // the old items meanwhile
        QVERIFY(settled(list));
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(list.itemCount(), kBig + 2);
        QCOMPARE(list.pathAt(list.firstSelectedIndex()), current);
    }

    // A big folder's cache pair is read on the worker too: the window is
    // free meanwhile, a pair that no longer fits is dropped there and the
    // folder listed anew, and a result nobody waits for is let go.
    void aBigFolderComesFromItsPairOffTheWindowsThread_data() {
        QTest::addColumn<QString>("change");
        QTest::newRow("unchanged") << "";
        QTest::newRow("a file added") << "add";
        QTest::newRow("another folder asked meanwhile") << "leave";
    }
    void aBigFolderComesFromItsPairOffTheWindowsThread() {
        QFETCH(QString, change);
        Env e;
        writeFolder(e.dir.file("big"), "p", kBig);
        writeFolder(e.dir.file("small"), "s", 3);
        CThumbListCtrl list;
        list.setCacheIndex(&e.index);
        QVERIFY(list.loadFolder(e.folder("big")));
        QVERIFY(settled(list));
        QVERIFY(waitForCache(list));
        const std::string pair = e.index.lookup(e.dir.file("big"));
        QVERIFY(pair != CacheIndex::kNotFound);
        const std::vector<CThumbData> stored = list.model()->folder()->records();
        QVERIFY(list.loadFolder(e.folder("small")));
        if (change == "add")
            kamelo::test::writeFile(e.dir.file("big/p99999.jpg"), "");

        QSignalSpy loaded(&list, &CThumbListCtrl::folderLoaded);
        QVERIFY(list.loadFolder(e.folder("big")));
        QVERIFY(list.isListing()); // back at once
        QCOMPARE(list.itemCount(), 0);
        if (change == "leave")
            QVERIFY(list.loadFolder(e.folder("small")));
        QVERIFY(settled(list));
        QCoreApplication::processEvents();
        QCOMPARE(loaded.count(), 1);
        if (change == "leave") {
            QCOMPARE(list.folder(), e.folder("small"));
            QCOMPARE(list.itemCount(), 4);
            return;
        }
        QCOMPARE(list.folder(), e.folder("big"));
        if (change.isEmpty()) {
            QVERIFY(!list.isLoading()); // every thumbnail from the pair
            QCOMPARE(list.model()->folder()->records(), stored);
            QCOMPARE(e.index.lookup(e.dir.file("big")), pair);
        } else {
            QCOMPARE(list.itemCount(), kBig + 2);
            QVERIFY(list.isLoading()); // thumbnails made anew
            QVERIFY(!fs::exists(pair + ".lis"));
            QVERIFY(!fs::exists(pair + ".cac"));
            QVERIFY(waitForCache(list));
        }
    }

    // The order by date, from keys made when the folder was listed, is the
    // one the sort gave when it read the dates at each click.
    void datesSortAsBefore_data() {
        QTest::addColumn<QStringList>("items"); // name:seconds, folders end in '/'
        QTest::addColumn<QStringList>("ascending");
        QTest::addColumn<QStringList>("descending");
        QTest::newRow("equal dates")
            << QStringList{"c10.jpg:300", "c9.jpg:300", "c9a.jpg:300", "b.jpg:100", "a.jpg:500"}
            << QStringList{"..", "b.jpg", "c9.jpg", "c9a.jpg", "c10.jpg", "a.jpg"}
            << QStringList{"..", "a.jpg", "c10.jpg", "c9a.jpg", "c9.jpg", "b.jpg"};
        QTest::newRow("folders, the epoch, before it and after 2038")
            << QStringList{"future.jpg:4102444800", "epoch.jpg:0", "old.jpg:-86400",
                           "mid.jpg:1600000000",    "sub/:200",    "zz/:100"}
            << QStringList{"..", "zz", "sub", "old.jpg", "epoch.jpg", "mid.jpg", "future.jpg"}
            << QStringList{"..", "sub", "zz", "future.jpg", "mid.jpg", "epoch.jpg", "old.jpg"};
        QTest::newRow("folders and files of one date")
            << QStringList{"b/:50", "a/:50", "y.jpg:50", "x.jpg:50"}
            << QStringList{"..", "a", "b", "x.jpg", "y.jpg"}
            << QStringList{"..", "b", "a", "y.jpg", "x.jpg"};
    }
    void datesSortAsBefore() {
        QFETCH(QStringList, items);
        QFETCH(QStringList, ascending);
        QFETCH(QStringList, descending);
        Env e;
        const std::string folder = e.dir.file("dates");
        fs::create_directories(folder);
        for (const QString& item : items) {
            const QString name = item.section(':', 0, 0);
            const std::string path = folder + "/" + name.toStdString();
            if (name.endsWith('/'))
                fs::create_directories(path);
            else
                kamelo::test::writeFile(path, "x");
            QVERIFY(setModified(path, item.section(':', 1).toLongLong()));
        }
        CThumbListCtrl list;
        QVERIFY(list.loadFolder(e.folder("dates")));
        for (const bool up : {true, false, true}) {
            list.sortBy(ThumbSort::kDate, up);
            QCOMPARE(names(list), up ? ascending : descending);
            // The same records sorted with their dates read now.
            std::vector<CThumbData> records = list.model()->folder()->records();
            std::reverse(records.begin(), records.end());
            ThumbSort::sort(records, ThumbSort::kDate, up);
            QStringList again;
            for (const CThumbData& d : records)
                again << QString::fromStdString(d.displayName);
            QCOMPARE(again, up ? ascending : descending);
        }
    }
};

QTEST_MAIN(TestThumbListing)
#include "tst_thumblisting.moc"
