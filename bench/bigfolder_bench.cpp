// A folder of 100,000 small JPEGs in the browser's thumbnail list:
//   bigfolder_bench WORK_FOLDER [COUNT]
// Makes COUNT (default 100,000) hard links to a few small JPEGs made with
// ImageMagick (ext4 allows 65,000 links per file, so each source takes a
// share), then measures in one process with offscreen Qt:
//  - the cold load: listing to the painted list with the longest hold of
//    the window's thread meanwhile, first screen of thumbnails, all
//    thumbnails, the longest stall of the event loop while they are made;
//  - storing the folder's cache pair: its time and the longest stall;
//  - the warm load from that pair to the painted list;
//  - scrolling to the end and sorting by date, each to the painted list;
//  - a batch rename preview per keystroke over every picture;
//  - the folder tree finding the folder, and the status line's count;
//  - peak memory.
// Prints the figures with the load average; it asserts nothing.
// BIGFOLDER_VERBOSE=1 adds the cold load's progress every five seconds.
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "bench/benchsupport.h"
#include "browser/batchrenamedialog.h"
#include "browser/core/cacheindex.h"
#include "browser/shelltreemodel.h"
#include "browser/thumblistctrl.h"
#include "browser/thumblistmodel.h"
#include "chrome/fileui.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <utime.h>
#include <vector>

namespace fs = std::filesystem;
using namespace kamelo;
using bench::statusKb;

namespace {

constexpr int kLinksPerSource = 60000; // below ext4's 65,000
const char* const kColours[] = {"red",    "orange", "gold",  "green",  "teal", "blue",
                                "purple", "brown",  "gray",  "pink",   "navy", "olive",
                                "maroon", "coral",  "khaki", "salmon", "cyan", "plum"};

void loadAverage(const char* when) {
    double l[3] = {0, 0, 0};
    if (getloadavg(l, 3) == 3)
        std::printf("load average %s: %.2f %.2f %.2f\n", when, l[0], l[1], l[2]);
}

// Sources with distinct pictures and modification times (hard links share
// them), then the links; an existing folder of the right size is kept.
bool makeFolder(const fs::path& work, int count, fs::path& folder) {
    folder = work / ("big" + std::to_string(count));
    const fs::path sources = work / "sources";
    const int nSources = std::max(8, (count + kLinksPerSource - 1) / kLinksPerSource);
    fs::create_directories(sources);
    std::error_code ec;
    int have = 0;
    if (fs::is_directory(folder, ec))
        for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
             it.increment(ec))
            ++have;
    if (have == count)
        return true;
    fs::remove_all(folder, ec);
    fs::create_directories(folder);
    for (int s = 0; s < nSources; ++s) {
        const fs::path src = sources / ("s" + std::to_string(s) + ".jpg");
        if (!fs::exists(src)) {
            const std::string a = kColours[s % std::size(kColours)];
            const std::string b = kColours[(s + 5) % std::size(kColours)];
            const std::string cmd = "convert -size 320x240 gradient:" + a + "-" + b +
                                    " -quality 85 " + bench::quote(src.string());
            if (std::system(cmd.c_str()) != 0) {
                std::fprintf(stderr, "ImageMagick convert failed: %s\n", cmd.c_str());
                return false;
            }
        }
        struct utimbuf t {};
        t.actime = t.modtime = 1600000000 + s * 86400;
        ::utime(src.c_str(), &t);
    }
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%06d.jpg", i);
        // Spread so neighbours differ and no source passes the link limit.
        const fs::path src = sources / ("s" + std::to_string(i % nSources) + ".jpg");
        fs::create_hard_link(src, folder / name, ec);
        if (ec) {
            std::fprintf(stderr, "cannot link %s: %s\n", name, ec.message().c_str());
            return false;
        }
    }
    return true;
}

// The longest gap between ticks of a 5 ms timer: how long the event loop
// was kept from running.
struct StallMeter {
    QTimer timer;
    QElapsedTimer clock;
    double last = 0, worst = 0, worstAt = 0;
    StallMeter() {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const double now = clock.nsecsElapsed() / 1e6;
            if (now - last > worst) {
                worst = now - last;
                worstAt = now;
            }
            last = now;
        });
    }
    void start() {
        worst = 0;
        clock.start();
        last = 0;
        timer.start();
    }
    double stop() {
        worst = std::max(worst, clock.nsecsElapsed() / 1e6 - last); // a stall at the very end
        timer.stop();
        return worst;
    }
};

// Rows of the first screen with their thumbnails made.
bool firstScreenDone(CThumbListCtrl& list) {
    QListView* v = list.iconView();
    const QRect area = v->viewport()->rect();
    for (int row = 0; row < list.itemCount(); ++row) {
        const QRect r = v->visualRect(list.model()->index(row, 0));
        if (!r.intersects(area))
            break;
        if (list.isPictureAt(row) && !list.recordAt(row)->thumbnailDone)
            return false;
    }
    return true;
}

double paintedMs(CThumbListCtrl& list, const std::function<void()>& action) {
    QElapsedTimer t;
    t.start();
    action();
    list.iconView()->viewport()->grab();
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: bigfolder_bench WORK_FOLDER [COUNT]\n");
        return 2;
    }
    const int count = argc == 3 ? std::atoi(argv[2]) : 100000;
    if (count < 1) {
        std::fprintf(stderr, "COUNT must be a positive number\n");
        return 2;
    }
    const bool verbose = std::getenv("BIGFOLDER_VERBOSE") != nullptr;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const fs::path work = fs::absolute(argv[1]);
    fs::path folder;
    loadAverage("at start");
    QElapsedTimer made;
    made.start();
    if (!makeFolder(work, count, folder))
        return 1;
    std::printf("%d pictures in %s (%.1f s to make)\n", count, folder.c_str(),
                made.nsecsElapsed() / 1e9);

    const fs::path cache = work / "cache";
    fs::remove_all(cache);
    fs::create_directories(cache);
    fs::remove(work / "bench.sqlite");
    SettingsStore store((work / "bench.sqlite").string());
    CUiSettings settings;
    settings.load(store);
    setUiSettings(&settings);
    setSettingsStore(&store);
    CacheIndex index(store, cache.string());
    const QString path = QString::fromStdString(folder.string());

    CThumbListCtrl list;
    list.setCacheIndex(&index);
    list.resize(1200, 800);
    list.show();
    QCoreApplication::processEvents();
    QString status;
    QObject::connect(&list, &CThumbListCtrl::statusText, [&](int pane, const QString& text) {
        if (pane == 1)
            status = text;
    });
    StallMeter stall;

    // Cold: listed, then thumbnails visible first. A big folder is read on
    // a worker: the list is there when folderLoaded comes, and the longest
    // hold of the window's thread until it is painted is what a user feels.
    QSignalSpy saved(&list, &CThumbListCtrl::cacheSaved);
    QSignalSpy loaded(&list, &CThumbListCtrl::folderLoaded);
    stall.start();
    QElapsedTimer cold;
    cold.start();
    if (!list.loadFolder(path)) {
        std::fprintf(stderr, "cannot list %s\n", folder.c_str());
        return 1;
    }
    const double returned = cold.nsecsElapsed() / 1e6;
    while (loaded.count() == 0 && cold.elapsed() < 600000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); // no spinning
    list.iconView()->viewport()->grab();
    const double listed = cold.nsecsElapsed() / 1e6;
    const double listingHold = std::max(stall.worst, stall.clock.nsecsElapsed() / 1e6 - stall.last);
    std::printf("cold listing: loadFolder returned %.0f ms, listed and painted %.0f ms, longest "
                "hold of the window's thread %.0f ms\n",
                returned, listed, listingHold);
    double firstScreen = -1;
    QElapsedTimer report;
    report.start();
    while (list.isLoading()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); // no spinning
        if (firstScreen < 0 && firstScreenDone(list))
            firstScreen = cold.nsecsElapsed() / 1e6;
        if (verbose && report.elapsed() > 5000) {
            report.restart();
            std::printf("  %.0f s: %d cells held, %ld MB, longest stall so far %.0f ms at %.1f s\n",
                        cold.nsecsElapsed() / 1e9, list.model()->folder()->heldCellCount(),
                        statusKb("VmRSS:") / 1024, stall.worst, stall.worstAt / 1000);
            std::fflush(stdout);
        }
    }
    if (firstScreen < 0)
        firstScreen = cold.nsecsElapsed() / 1e6;
    const double allThumbs = cold.nsecsElapsed() / 1e9;
    const double coldStall = stall.stop();
    std::printf("cold: first screen of thumbnails %.0f ms, all %d thumbnails %.1f s, longest "
                "stall %.0f ms\n",
                firstScreen, list.pictureCount(), allThumbs, coldStall);

    // The cache pair: stored after the last thumbnail.
    stall.start();
    QElapsedTimer writing;
    writing.start();
    bool stored = saved.count() > 0;
    while (!stored && writing.elapsed() < 600000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); // no spinning
        stored = saved.count() > 0;
    }
    const double writeStall = stall.stop();
    const std::string base = index.lookup(folder.string());
    std::error_code ec;
    const auto cacBytes = fs::file_size(CacheIndex::cacPath(base), ec);
    if (stored)
        std::printf("cache pair: stored %.1f s after the last thumbnail (%.0f MB), longest stall "
                    "while it was written %.0f ms\n",
                    writing.nsecsElapsed() / 1e9 + 0.0, ec ? 0.0 : double(cacBytes) / 1e6,
                    writeStall);
    else
        std::printf("cache pair: NOT stored\n");
    std::printf("memory: peak %ld MB, now %ld MB\n", statusKb("VmHWM:") / 1024,
                statusKb("VmRSS:") / 1024);

    // Warm: from the pair to the painted list. A pair holds at most 65,535
    // cells: the items beyond get theirs made again, visible first.
    // The pair of a big folder is read on a worker: the list is there when
    // folderLoaded comes.
    double warm = 1e9, warmHold = 0;
    bool fromCache = true;
    int waiting = 0;
    for (int run = 0; run < 3; ++run) {
        list.clearList();
        QCoreApplication::processEvents();
        QSignalSpy warmLoaded(&list, &CThumbListCtrl::folderLoaded);
        stall.start();
        warm = std::min(warm, paintedMs(list, [&] {
                            list.loadFolder(path);
                            while (warmLoaded.count() == 0)
                                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
                        }));
        warmHold = std::max(warmHold, stall.stop());
        fromCache = fromCache && firstScreenDone(list);
        waiting = 0;
        for (int row = 0; row < list.itemCount(); ++row)
            waiting += list.isPictureAt(row) && !list.recordAt(row)->thumbnailDone ? 1 : 0;
    }
    std::printf("warm: from the cache to the painted list %.0f ms%s, longest hold of the "
                "window's thread %.0f ms; %d items wait for a thumbnail\n",
                warm, fromCache ? "" : " (NOT from the cache: the thumbnails were made again)",
                warmHold, waiting);
    stall.start();
    QElapsedTimer rest;
    rest.start();
    while (list.isLoading())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); // no spinning
    if (waiting > 0)
        std::printf("warm: the waiting thumbnails made in %.1f s, longest stall %.0f ms\n",
                    rest.nsecsElapsed() / 1e9, stall.stop());
    else
        stall.stop();

    QScrollBar* bar = list.iconView()->verticalScrollBar();
    const double toEnd = paintedMs(list, [&] { bar->setValue(bar->maximum()); });
    const double toTop = paintedMs(list, [&] { bar->setValue(0); });
    const double byDate = paintedMs(list, [&] { list.sortBy(3, true); });
    const double byName = paintedMs(list, [&] { list.sortBy(0, true); });
    std::printf("scroll to the end %.0f ms, back to the top %.0f ms; sort by date %.0f ms, by "
                "name %.0f ms\n",
                toEnd, toTop, byDate, byName);
    std::printf("status line: \"%s\" (%s)\n", status.toUtf8().constData(),
                status.contains(QString::number(count)) ? "count right" : "COUNT WRONG");

    // The tree: the folder found and shown without sub-folders.
    {
        ShellTreeModel tree;
        QElapsedTimer t;
        t.start();
        const QModelIndex at = tree.indexForPath(path);
        const bool leaf = at.isValid() && !tree.hasChildren(at);
        std::printf("tree: folder found %.0f ms (%s)\n", t.nsecsElapsed() / 1e6,
                    at.isValid() && tree.pathOf(at) == path && leaf ? "right" : "WRONG");
    }

    // The batch rename preview of every picture, one keystroke at a time.
    {
        list.selectAllFiles();
        QElapsedTimer t;
        t.start();
        BatchRenameDialog dialog(BatchRenameDialog::selectedPictures(list), FileUi::standard());
        dialog.resize(600, 500);
        dialog.show();
        QCoreApplication::processEvents();
        const double open = t.nsecsElapsed() / 1e6;
        auto* prefix = dialog.findChild<QLineEdit*>(QStringLiteral("prefix"));
        const QString typed = QStringLiteral("jeju_trip_");
        std::vector<double> keys;
        for (QChar c : typed) {
            t.restart();
            QTest::keyClicks(prefix, QString(c));
            dialog.view()->viewport()->grab();
            keys.push_back(t.nsecsElapsed() / 1e6);
        }
        std::printf("rename preview of %d pictures: opened %.0f ms, per keystroke median %.0f ms, "
                    "worst %.0f ms\n",
                    int(BatchRenameDialog::selectedPictures(list).size()), open,
                    bench::median(keys), *std::max_element(keys.begin(), keys.end()));
    }
    std::printf("memory: peak %ld MB\n", statusKb("VmHWM:") / 1024);
    loadAverage("at end");
    setUiSettings(nullptr);
    setSettingsStore(nullptr);
    return 0;
}
