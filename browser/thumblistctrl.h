#pragma once

#include "browser/core/thumbdata.h"
#include "thumbfolder.h"
#include "thumbrenderer.h"

#include <QWidget>

#include <atomic>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

class QListView;
class QStackedLayout;
class QTreeView;
class QAbstractItemView;

namespace kamelo {

class CChangeIconThread;
class CacheIndex;
class ListFileActions;
class ThumbCacheSaver;
struct ThumbCacheSnapshot;
class ThumbCellDelegate;
class ThumbListModel;

// The item list of the browser: the parent entry first, then folders, then
// files, shown as program-drawn thumbnail cells or as a details table over
// one model and one selection. Thumbnails are made by a CChangeIconThread,
// visible items first, and the finished folder is stored in the cache.
class CThumbListCtrl : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Parent, Folder, Picture, Other };
    enum class Refresh { Normal, Quick, Full };

    explicit CThumbListCtrl(QWidget* parent = nullptr);
    ~CThumbListCtrl() override;

    // The folder cache to use; none in windows that must not touch it.
    void setCacheIndex(CacheIndex* index) { cache_ = index; }
    // The desktop lists without a parent entry.
    void setDesktopFolder(const QString& folder) { desktop_ = folder; }
    // Lists a folder: from the cache when allowed (thumbnail view, not a full
    // refresh) and still valid, else enumerated with placeholders and the
    // loader started. False (list emptied) when the folder cannot be read.
    // A folder of kListAsideFrom entries or more is read and sorted on a
    // worker, except for a quick refresh (whose callers find rows at once):
    // the list is empty meanwhile (or keeps the folder's old items when it
    // is listed again), isLoading() holds, and folderLoaded() tells when
    // the items are there. Smaller folders are listed here and now, which
    // takes a few milliseconds and shows no empty list in between.
    bool loadFolder(const QString& folder, Refresh refresh = Refresh::Normal);
    static constexpr int kListAsideFrom = 2000;
    // A folder is being read on a worker.
    bool isListing() const { return pendingListing_ != 0; }
    // Listing workers whose result (wanted or stale) has not come back yet.
    int listingWorkers() const { return static_cast<int>(listers_.size()); }
    QString folder() const;
    void stopLoader();
    void clearList();

    // 0 thumbnails, 1 details.
    void setViewType(int type);
    int viewType() const { return viewType_; }
    QAbstractItemView* currentView() const;
    QListView* iconView() const { return icons_; }
    QTreeView* detailsView() const { return details_; }
    ThumbListModel* model() const { return model_; }
    const CThumbData* recordAt(int index) const;

    int itemCount() const;
    // Full path; the parent entry gives the folder it leads to.
    QString pathAt(int index) const;
    Kind kindAt(int index) const;
    bool isPictureAt(int index) const { return kindAt(index) == Kind::Picture; }
    bool isFolderAt(int index) const;
    int pictureCount() const;
    // -1 without a selection.
    int firstSelectedIndex() const;
    QList<int> selectedIndexes() const;
    void selectIndex(int index);
    void clearSelection();
    // Selects and shows the item with this path (searched from index 1).
    // While a folder is being listed, the item is selected when the list
    // arrives (true then only says that it is asked for).
    bool selectPath(const QString& path);
    bool removePath(const QString& path);
    // Select all / invert the selection of the files (never the parent entry
    // or folders).
    void selectAllFiles();
    void invertFileSelection();

    // Sorting: header click flips the direction on the same column and keeps
    // it on another; the sort commands flip on the same column and sort
    // ascending on another; ascending/descending keep the column.
    void sortBy(int column, bool ascending);
    void headerClicked(int column);
    void sortCommand(int column);
    int sortColumn() const { return sortColumn_; }
    bool sortAscending() const { return sortAscending_; }

    bool isLoading() const { return loading_; }
    // A folder's cache pair is still being written (a refresh until then
    // makes its thumbnails again).
    bool isSavingCache() const;
    // Threads that decode thumbnails, the loader's own included; from the
    // next folder load on.
    void setThumbnailJobs(int jobs) { jobs_ = jobs; }
    // Screens of cells kept in memory on either side of the visible ones
    // when the cache file can give them back.
    static constexpr int kKeptScreens = 2;
    // Thumbnails that arrive between two releases of far cells.
    static constexpr int kReleaseEvery = 64;
    bool hasThumbnailFocus() const;
    // Reports the current item again (status text, focusedItemChanged), for
    // listeners that were not looking when it changed.
    void announceCurrentItem() { showItemStatus(); }
    // Opens the first selected item: folder, picture (viewer) or other file.
    void openSelected();
    // Starts the label editor on the first selected item (not the parent).
    bool renameSelected();
    // Files renamed on disk (old path, new path): their records follow and
    // the list is sorted again, as after a label edit.
    void applyRenames(const std::vector<std::pair<QString, QString>>& renamed);
    // Listed pictures the program wrote again: the folder's stored
    // thumbnails are dropped, their sizes and times read again and their
    // thumbnails made anew (the folder is then stored again). False when
    // one of the paths is not a listed picture.
    bool refreshFiles(const QStringList& paths);
    ListFileActions* actions() const { return actions_; }
    // The folder a drop at this viewport point goes to: the folder item
    // under it, else the listed folder.
    QString dropFolderAt(const QPoint& viewportPos) const;

signals:
    void enterViewerRequested();
    void folderRequested(const QString& folder);
    void parentRequested();
    void progressChanged(int percent);
    void statusText(int pane, const QString& text);
    // The focused item changed: its path, or empty for a folder.
    void focusedItemChanged(const QString& path);
    void folderLoaded(const QString& folder);
    // The listed folder's cache pair is stored (written on a worker thread
    // after the last thumbnail; the list stays usable meanwhile).
    void cacheSaved(const QString& base);
    // Right click: onItem tells an item from empty space.
    void contextMenuRequested(const QPoint& globalPos, bool onItem);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What a worker listed: the items, and the loader's list in their order.
    struct Listed;
    // A folder being read and sorted on a worker; stop ends it early.
    struct Lister {
        quint64 generation = 0;
        std::shared_ptr<std::atomic<bool>> stop;
        std::thread thread;
    };
    int arrivedSinceRelease_ = 0;
    // pair: the folder's cache pair to read first (kNotFound: none).
    bool listAside(const QString& folder, const ThumbFolder::Options& options, bool sameFolder,
                   const std::string& pair);
    // A lister thread's work: the folder's pair read, or the folder listed.
    static std::shared_ptr<Listed> readAside(const std::string& folder,
                                             const ThumbFolder::Options& options, int column,
                                             bool ascending, const std::string& pair,
                                             const std::atomic<bool>& stop);
    void onListed(quint64 generation, const std::shared_ptr<Listed>& listed,
                  const ThumbFolder::Options& options);
    // Drops the listing under way (its result is ignored when it comes).
    void dropListing();
    // Stops every listing thread and waits for them (on destruction).
    void endListers();
    void showListed(std::unique_ptr<ThumbFolder> folder, Listed* listed = nullptr);
    // The folder read from its cache pair, with the loader for items waiting.
    void showFromPair(std::unique_ptr<ThumbFolder> folder);
    // With the loader's items made on the listing's worker when they are
    // still in the list's order.
    void startLoader(Listed* listed = nullptr);
    void onThumbnail(quint64 generation, int index, const ThumbResult& result);
    void onLoaderDone(quint64 generation);
    // Copies the next rows into the pair's snapshot, then hands it to the
    // saver once all are in.
    void snapshotStep(std::shared_ptr<ThumbCacheSnapshot> snap, size_t from);
    void onCacheSaved(const QString& key, const QString& base, quint64 serial, quint64 revision);
    void afterFill();
    void updateFirstVisible();
    void releaseFarCells();
    void showItemStatus();
    void applyAppearance();
    void setLoading(bool loading);
    bool handleDrag(QAbstractItemView* view, QEvent* event);

    ThumbListModel* model_;
    QListView* icons_;
    QTreeView* details_;
    QStackedLayout* stack_;
    ThumbCellDelegate* delegate_;
    CacheIndex* cache_ = nullptr;
    CChangeIconThread* loader_ = nullptr;
    ThumbCacheSaver* saver_;
    bool snapshotting_ = false;
    quint64 generation_ = 0;
    std::vector<Lister> listers_; // running or done and not yet joined
    quint64 listGeneration_ = 0;
    quint64 pendingListing_ = 0; // the generation whose result is waited for; 0 none
    QString selectWhenListed_;
    int jobs_;
    bool loading_ = false;
    int viewType_ = 0;
    int sortColumn_ = 0;
    bool sortAscending_ = true;
    int anchor_ = -1;
    ListFileActions* actions_;
    int pressedSelected_ = -1; // the single selected item a press landed on
    int doubleClicks_ = 0;
    QString desktop_;
};

} // namespace kamelo
