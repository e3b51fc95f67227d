// The thumbnail loader: its walk from the first visible item, its threads
// giving the same cells as one, and stopping it whatever it is doing.

#include "browser/changeiconthread.h"
#include "browser/thumbfolder.h"
#include "browser/thumblistctrl.h"
#include "tests/browser/thumblistenv.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <QImage>
#include <QPointer>
#include <QSet>
#include <QSignalSpy>
#include <QtTest>

#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace kamelo;
using namespace kamelo::test::thumblist;

namespace {

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

} // namespace

class TestThumbLoader : public QObject {
    Q_OBJECT
private slots:
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
};

QTEST_MAIN(TestThumbLoader)
#include "tst_thumbloader.moc"
