// Time from asking for a cached folder to its painted thumbnail list.
//   thumblist_bench FOLDER CACHE_FOLDER DB
// The folder must have been cached before (kamelo-cli thumbs FOLDER --cache
// CACHE_FOLDER with the same settings database).
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "browser/core/cacheindex.h"
#include "browser/thumblistctrl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: thumblist_bench FOLDER CACHE_FOLDER DB\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kamelo::SettingsStore store(argv[3]);
    kamelo::CUiSettings settings;
    settings.load(store);
    kamelo::setUiSettings(&settings);
    kamelo::setSettingsStore(&store);
    kamelo::CacheIndex index(store, argv[2]);

    kamelo::CThumbListCtrl list;
    list.setCacheIndex(&index);
    list.resize(1200, 800);
    list.show();
    QCoreApplication::processEvents();

    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        list.clearList();
        QCoreApplication::processEvents();
        QElapsedTimer t;
        t.start();
        if (!list.loadFolder(QString::fromLocal8Bit(argv[1]))) {
            std::fprintf(stderr, "cannot list %s\n", argv[1]);
            return 1;
        }
        if (list.isLoading()) {
            std::fprintf(stderr, "the folder was not loaded from the cache\n");
            return 1;
        }
        list.iconView()->viewport()->grab(); // lays out and paints the visible cells
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    std::printf("%d items from the cache to a painted list: %.1f ms (best of 5)\n",
                list.itemCount(), best);
    kamelo::setUiSettings(nullptr);
    kamelo::setSettingsStore(nullptr);
    return 0;
}
