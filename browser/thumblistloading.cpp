#include "thumblistctrl.h"

#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "browser/core/cacheindex.h"
#include "browser/core/folderenumerator.h"
#include "changeiconthread.h"
#include "listfileactions.h"
#include "resources/qtstrings.h"
#include "thumbcachesaver.h"
#include "thumbcachesnapshot.h"
#include "thumbcelldelegate.h"
#include "thumblistmodel.h"

#include <QFileInfo>
#include <QListView>
#include <QTimer>

#include <algorithm>
#include <malloc.h>
#include <sys/stat.h>
#include <utility>

namespace kamelo {

struct CThumbListCtrl::Listed {
    ThumbFolder::Listing listing;
    std::vector<CChangeIconThread::Item> items;
    // The folder filled from its cache pair instead; or the pair that was
    // found stale (the listing is then made anew).
    std::unique_ptr<ThumbFolder> fromPair;
    std::string folder, stalePair;
};

// Filling the list: the folder from its cache or listed anew, thumbnails made by the loader thread,
// cells far from view let go.
void CThumbListCtrl::setLoading(bool loading) {
    loading_ = loading;
}

void CThumbListCtrl::stopLoader() {
    if (!loader_)
        return;
    CChangeIconThread* loader = loader_;
    loader_ = nullptr;
    ++generation_; // anything still queued from it is dropped
    CChangeIconThread::stopAndRelease(loader, 3000);
    setLoading(false);
    emit progressChanged(0);
}

void CThumbListCtrl::clearList() {
    stopLoader();
    dropListing();
    model_->reset(nullptr);
    anchor_ = -1;
}

bool CThumbListCtrl::loadFolder(const QString& path, Refresh refresh) {
    stopLoader();
    const QString listed = folder();
    dropListing();
    const CUiSettings& s = uiSettingsOrDefaults();
    ThumbFolder::Options o = ThumbFolder::Options::fromSettings(s);
    o.details = viewType_ == 1;
    if (cache_)
        o.spillFolder = cache_->folder();
    applyAppearance();
    const QString folderPath = QFileInfo(path).absoluteFilePath();
    o.withParent = desktop_.isEmpty() || QFileInfo(desktop_).absoluteFilePath() != folderPath;
    auto folder = std::make_unique<ThumbFolder>(o);

    const std::string path8 = folderPath.toStdString();
    std::string pair = CacheIndex::kNotFound;
    if (cache_ && viewType_ == 0 && refresh != Refresh::Full) {
        emit progressChanged(0);
        pair = folder->cachedPair(*cache_, path8);
    }
    // Counting stops early: a big folder costs no more to tell than a small one.
    const int entries = FolderEnumerator::countUpTo(path8, kListAsideFrom);
    if (entries >= kListAsideFrom && refresh != Refresh::Quick)
        return listAside(folderPath, o, listed == folderPath, pair);
    if (pair != CacheIndex::kNotFound) {
        if (folder->loadPair(path8, pair) == ThumbFolder::CacheResult::Loaded) {
            showFromPair(std::move(folder));
            return true;
        }
        ThumbFolder::dropStalePair(*cache_, path8, pair);
    }
    if (entries < 0) {
        clearList();
        return false;
    }
    if (!folder->adopt(
            ThumbFolder::list(folderPath.toStdString(), o, sortColumn_, sortAscending_))) {
        clearList();
        return false;
    }
    showListed(std::move(folder));
    return true;
}

void CThumbListCtrl::showFromPair(std::unique_ptr<ThumbFolder> folder) {
    model_->reset(std::move(folder));
    afterFill();
    // A folder bigger than its pair can hold has items waiting.
    if (!model_->folder()->allPicturesDone())
        startLoader();
}

void CThumbListCtrl::showListed(std::unique_ptr<ThumbFolder> folder, Listed* listed) {
    model_->reset(std::move(folder));
    afterFill();
    if (viewType_ == 0 && pictureCount() > 0)
        startLoader(listed);
}

std::shared_ptr<CThumbListCtrl::Listed>
CThumbListCtrl::readAside(const std::string& folder, const ThumbFolder::Options& options,
                          int column, bool ascending, const std::string& pair,
                          const std::atomic<bool>& stop) {
    std::shared_ptr<Listed> listed;
    try {
        listed = std::make_shared<Listed>();
        listed->folder = folder;
        if (pair != CacheIndex::kNotFound) {
            auto f = std::make_unique<ThumbFolder>(options);
            if (f->loadPair(folder, pair) == ThumbFolder::CacheResult::Loaded)
                listed->fromPair = std::move(f);
            else
                listed->stalePair = pair;
        }
        if (!listed->fromPair)
            listed->listing = ThumbFolder::list(folder, options, column, ascending, &stop);
        if (listed->listing.readable && !stop.load()) {
            listed->items.reserve(listed->listing.items.records.size());
            for (const CThumbData& d : listed->listing.items.records)
                listed->items.push_back({d.fullPath, ThumbFolder::isPictureRecord(d), false});
        }
    } catch (...) {
        listed.reset(); // out of memory: shown as unreadable
    }
    // What the reading took and gave back stays with this thread's malloc
    // arena, which the window's thread does not reuse: handed back now, so
    // that big folders read one after another do not pile it up.
    ::malloc_trim(0);
    return listed;
}

bool CThumbListCtrl::listAside(const QString& path, const ThumbFolder::Options& options,
                               bool sameFolder, const std::string& pair) {
    const std::string folder = path.toStdString();
    const int column = sortColumn_;
    const bool ascending = sortAscending_;
    auto stop = std::make_shared<std::atomic<bool>>(false);
    const quint64 generation = ++listGeneration_;
    Lister lister{generation, stop, {}};
    try {
        lister.thread =
            std::thread([this, generation, stop, folder, options, column, ascending, pair] {
                // Nothing here touches a widget: the result goes to the window's
                // thread, which drops it when another folder was asked for since.
                std::shared_ptr<Listed> listed =
                    readAside(folder, options, column, ascending, pair, *stop);
                QMetaObject::invokeMethod(
                    this,
                    [this, generation, listed, options] { onListed(generation, listed, options); },
                    Qt::QueuedConnection);
            });
    } catch (...) {
        // No thread to spare: listed here as a small folder is.
        auto f = std::make_unique<ThumbFolder>(options);
        if (pair != CacheIndex::kNotFound) {
            if (f->loadPair(folder, pair) == ThumbFolder::CacheResult::Loaded) {
                showFromPair(std::move(f));
                return true;
            }
            ThumbFolder::dropStalePair(*cache_, folder, pair);
        }
        if (!f->adopt(ThumbFolder::list(folder, options, column, ascending))) {
            clearList();
            return false;
        }
        showListed(std::move(f));
        return true;
    }
    listers_.push_back(std::move(lister));
    pendingListing_ = generation;
    if (sameFolder) {
        // Listed again: the old items stay until the new ones come, and the
        // current one is found again among them.
        const QModelIndex current = icons_->selectionModel()->currentIndex();
        const CThumbData* d = current.isValid() ? recordAt(current.row()) : nullptr;
        if (d && !d->isParent())
            selectWhenListed_ = QString::fromStdString(d->fullPath);
    } else {
        // Another folder: nothing of the old one stays on show, and the list
        // already names the folder it is filled with.
        auto empty = std::make_unique<ThumbFolder>(options);
        ThumbFolder::Listing none;
        none.readable = true;
        none.folder = folder;
        empty->adopt(std::move(none));
        model_->reset(std::move(empty));
        anchor_ = -1;
        emit statusText(1, QString());
    }
    setLoading(true);
    return true;
}

void CThumbListCtrl::onListed(quint64 generation, const std::shared_ptr<Listed>& listed,
                              const ThumbFolder::Options& options) {
    for (auto it = listers_.begin(); it != listers_.end(); ++it)
        if (it->generation == generation) {
            if (it->thread.joinable())
                it->thread.join(); // it has posted this and is ending
            listers_.erase(it);
            break;
        }
    if (generation != pendingListing_)
        return; // another folder or listing was asked for since
    pendingListing_ = 0;
    // A loader started meanwhile on the old items (a refreshed file) works
    // by their rows.
    stopLoader();
    setLoading(false);
    const QString select = std::exchange(selectWhenListed_, QString());
    if (listed && !listed->stalePair.empty() && cache_)
        ThumbFolder::dropStalePair(*cache_, listed->folder, listed->stalePair);
    if (listed && listed->fromPair) {
        showFromPair(std::move(listed->fromPair));
        if (!select.isEmpty())
            selectPath(select);
        return;
    }
    // Sorted by another column meanwhile: the loader's items are made anew.
    const bool sameOrder = listed && listed->listing.sortColumn == sortColumn_ &&
                           listed->listing.ascending == sortAscending_;
    auto folder = std::make_unique<ThumbFolder>(options);
    if (!listed || !folder->adopt(std::move(listed->listing))) {
        // The folder went away (or out of reach) while it was read.
        clearList();
        emit statusText(1, QString());
        return;
    }
    showListed(std::move(folder), sameOrder ? listed.get() : nullptr);
    if (!select.isEmpty())
        selectPath(select);
}

void CThumbListCtrl::dropListing() {
    if (pendingListing_ == 0)
        return;
    for (Lister& l : listers_)
        if (l.generation == pendingListing_)
            l.stop->store(true);
    pendingListing_ = 0;
    selectWhenListed_.clear();
    setLoading(loader_ != nullptr);
}

void CThumbListCtrl::endListers() {
    for (Lister& l : listers_)
        l.stop->store(true);
    for (Lister& l : listers_)
        if (l.thread.joinable())
            l.thread.join();
    listers_.clear();
    pendingListing_ = 0;
}

void CThumbListCtrl::afterFill() {
    anchor_ = -1;
    model_->sortRecords(sortColumn_, sortAscending_);
    emit statusText(1, QString::fromUtf8(res::format(res::IDS_STATUS_ITEM_COUNT, pictureCount())));
    selectIndex(0);
    emit folderLoaded(folder());
}

void CThumbListCtrl::startLoader(Listed* listed) {
    ThumbFolder* f = model_->folder();
    if (!f)
        return;
    std::vector<CChangeIconThread::Item> items;
    if (listed && listed->items.size() == f->records().size()) {
        items = std::move(listed->items);
    } else {
        items.reserve(f->records().size());
        for (int i = 0; i < itemCount(); ++i)
            items.push_back({f->records()[size_t(i)].fullPath, f->isPicture(i),
                             f->records()[size_t(i)].thumbnailDone != 0});
    }
    const bool useStamp = settingsStore()
                              ? settingsStore()->getInt(keys::kGeneralLower, keys::kUseStamp,
                                                        keys::kUseStampDefault) != 0
                              : true;
    loader_ =
        new CChangeIconThread(std::move(items), f->recipe(useStamp), ++generation_, this, jobs_);
    connect(loader_, &CChangeIconThread::thumbnailReady, this, &CThumbListCtrl::onThumbnail,
            Qt::QueuedConnection);
    connect(loader_, &CChangeIconThread::allDone, this, &CThumbListCtrl::onLoaderDone,
            Qt::QueuedConnection);
    connect(
        loader_, &CChangeIconThread::progress, this,
        [this](quint64 generation, int percent) {
            if (generation == generation_)
                emit progressChanged(percent);
        },
        Qt::QueuedConnection);
    setLoading(true);
    updateFirstVisible();
    loader_->start();
}

void CThumbListCtrl::onThumbnail(quint64 generation, int index, const ThumbResult& result) {
    if (generation != generation_)
        return;
    model_->applyThumbnail(index, result);
    // Cells far from the view go to the spill as they arrive, so a huge
    // folder does not hold them all until its cache file is written.
    if (++arrivedSinceRelease_ >= kReleaseEvery) {
        arrivedSinceRelease_ = 0;
        releaseFarCells();
    }
}

void CThumbListCtrl::onLoaderDone(quint64 generation) {
    if (generation != generation_)
        return;
    if (loader_) {
        loader_->wait();
        delete loader_;
        loader_ = nullptr;
    }
    setLoading(false);
    ThumbFolder* f = model_->folder();
    // Written on a worker: a folder of gigabytes of cells must not stop the
    // window. It goes on when the list moves to another folder.
    if (cache_ && f && f->allPicturesDone() && !f->storedPairHoldsAllItCan(*cache_)) {
        snapshotting_ = true;
        snapshotStep(f->cacheSnapshotHead(), 0);
    }
}

void CThumbListCtrl::snapshotStep(std::shared_ptr<ThumbCacheSnapshot> snap, size_t from) {
    // Copying 100,000 rows at once would hold the window for a tenth of a
    // second: a share at a time, between other events.
    constexpr size_t kRowsAtOnce = 10000;
    ThumbFolder* f = model_->folder();
    // Another folder, or this one changed meanwhile: its pair is made again
    // when its thumbnails are next all in.
    if (!cache_ || !f || f->serial() != snap->serial || f->revision() != snap->revision) {
        snapshotting_ = false;
        return;
    }
    const size_t next = f->addSnapshotRows(*snap, from, kRowsAtOnce);
    if (next < f->rows()) {
        QTimer::singleShot(0, this, [this, snap, next] { snapshotStep(snap, next); });
        return;
    }
    snapshotting_ = false;
    saver_->save(*cache_, snap);
}

void CThumbListCtrl::onCacheSaved(const QString& key, const QString& base, quint64 serial,
                                  quint64 revision) {
    ThumbFolder* f = model_->folder();
    // Only the list the pair was taken from, unchanged since, may read its
    // cells back from it.
    if (!f || f->serial() != serial || f->revision() != revision ||
        QString::fromStdString(ThumbFolder::cacheKey(f->folderPath())) != key)
        return;
    // From now on the stored pair gives back the cells scrolled far away.
    if (cache_ && f->useSavedCells(*cache_))
        releaseFarCells();
    emit cacheSaved(base);
}

bool CThumbListCtrl::refreshFiles(const QStringList& paths) {
    ThumbFolder* f = model_->folder();
    if (!f)
        return false;
    std::vector<int> rows;
    for (const QString& path : paths) {
        const std::string p = QFileInfo(path).absoluteFilePath().toStdString();
        const size_t before = rows.size();
        for (int i = 0; i < itemCount() && rows.size() == before; ++i)
            if (f->records()[size_t(i)].fullPath == p && isPictureAt(i))
                rows.push_back(i);
    }
    if (rows.empty())
        return false;
    // The stored thumbnails show the old pictures: whatever lists the folder
    // before the new ones are made and stored makes them all anew. (The
    // open cache file stays readable for the cells shown now.)
    if (cache_) {
        saver_->abandon(ThumbFolder::cacheKey(f->folderPath()));
        cache_->removeStale(ThumbFolder::cacheKey(f->folderPath()));
    }
    for (int row : rows) {
        CThumbData& d = f->records()[size_t(row)];
        d.thumbnailDone = 0;
        f->markChanged(row);
        struct stat st {};
        if (f->options().details && ::stat(d.fullPath.c_str(), &st) == 0) {
            d.fileSize = static_cast<uint32_t>(st.st_size);
            d.modifiedTime = static_cast<int32_t>(std::clamp<int64_t>(st.st_mtime, 0, INT32_MAX));
            emit model_->dataChanged(model_->index(row, 0),
                                     model_->index(row, model_->columnCount() - 1));
        }
    }
    if (viewType_ == 0) {
        if (loader_) {
            // The running loader took the items as done: one on the new state.
            CChangeIconThread* loader = loader_;
            loader_ = nullptr;
            ++generation_;
            CChangeIconThread::stopAndRelease(loader, 3000);
        }
        startLoader();
    }
    return int(rows.size()) == paths.size();
}

void CThumbListCtrl::releaseFarCells() {
    ThumbFolder* f = model_->folder();
    if (!f || viewType_ != 0)
        return;
    const QSize grid = delegate_->gridSize();
    const QSize area = icons_->viewport()->size();
    if (grid.width() <= 0 || grid.height() <= 0)
        return;
    // A screenful, counting the rows cut at the top and bottom.
    const int columns = std::max(1, area.width() / grid.width());
    const int screen = columns * (area.height() / grid.height() + 2);
    const QModelIndex first = icons_->indexAt(QPoint(grid.width() / 2, grid.height() / 2));
    const int top = first.isValid() ? first.row() : 0;
    f->releaseCellsOutside(top - kKeptScreens * screen, top + (kKeptScreens + 1) * screen);
}

void CThumbListCtrl::updateFirstVisible() {
    if (!loader_ || viewType_ != 0)
        return;
    const QModelIndex first = icons_->indexAt(
        QPoint(delegate_->gridSize().width() / 2, delegate_->gridSize().height() / 2));
    if (first.isValid())
        loader_->setFirstVisible(first.row());
}

} // namespace kamelo
