#pragma once

#include "base/uisettings.h"
#include "browser/core/cellspill.h"
#include "browser/core/folderenumerator.h"
#include "browser/core/thumbdata.h"
#include "browser/core/thumbimagelist.h"
#include "thumbrenderer.h"
#include "thumbsort.h"

#include <QImage>
#include <QString>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kamelo {

class CacheIndex;
struct ThumbCacheSnapshot;

// The items of one listed folder with their cell images: what the thumbnail
// list shows and what the folder cache stores. No widgets: the command-line
// tool uses it as the list does.
class ThumbFolder {
public:
    struct Options {
        int width = 120;
        int height = 100;
        int border = 10;
        int design = 0;
        bool onlyPictures = true;
        bool details = false;
        bool withParent = true; // no parent entry on the desktop
        bool upright = true;    // thumbnails turned by the EXIF orientation
        // Where finished cells are parked while the folder loads, so that
        // only those near the view stay in memory; empty: all stay.
        std::string spillFolder;
        // How cells get their colours (thumbcolour); kAsSet is settled when
        // the folder is made, so one load and its cache follow one rule.
        int colour = thumbcolour::kAsSet;

        // The cell's look and the listing rules as the settings give them.
        static Options fromSettings(const CUiSettings& s);
    };
    enum class CacheResult { Loaded, NotFound, Stale };
    // A folder's items as read from the file system, with their sort keys
    // and in the order asked for; made without widgets or images, so on any
    // thread.
    struct Listing {
        bool readable = false;
        std::string folder;
        EnumerateResult items;
        std::vector<ThumbSortKey> keys;
        int sortColumn = -1; // -1: the file system's order, without keys
        bool ascending = true;
    };

    explicit ThumbFolder(Options options);

    // Reads the folder for these options and sorts it by column (none when
    // negative); unreadable when it cannot be read or stop was set.
    static Listing list(const std::string& folder, const Options& options, int column,
                        bool ascending, const std::atomic<bool>* stop = nullptr);
    // Takes a listing made with this folder's options and gives every
    // picture its type's placeholder (one per type). False (list emptied)
    // when the listing is not readable.
    bool adopt(Listing&& listing);
    // Lists the folder in the file system's order (list() and adopt() here).
    // False when the folder cannot be read. The folder is named by its
    // path's bytes, which need not be UTF-8; the QString forms are for
    // folders the user interface names.
    bool enumerate(const std::string& folder);
    bool enumerate(const QString& folder) { return enumerate(folder.toStdString()); }

    // Whether the records are in this order already (keys of records
    // changed since are made again here first).
    bool inOrder(int column, bool ascending);
    // Sorts the records by their keys (see ThumbSort).
    void sort(int column, bool ascending);
    // Takes a record out with its key.
    void removeRecord(int row);
    // The item's file changed: its size and date are read again at the
    // next sort.
    void markChanged(int row);
    // Fills the list from the folder's cache pair after checking that the
    // folder still holds the same items in cells of this size, turned by the
    // same orientation rule and coloured by the same colour rule (a cache of
    // other rules is emptied); a pair that does not fit is removed.
    CacheResult loadCache(CacheIndex& index, const std::string& folder);
    CacheResult loadCache(CacheIndex& index, const QString& folder) {
        return loadCache(index, folder.toStdString());
    }
    // loadCache in its halves, so that a big folder's pair is read off the
    // window's thread: the pair the index names (on the index's thread;
    // CacheIndex::kNotFound for none), then that pair read and checked
    // against the folder (any thread; the index is not touched), then, on
    // the index's thread again, a Stale pair dropped.
    std::string cachedPair(CacheIndex& index, const std::string& folder) const;
    CacheResult loadPair(const std::string& folder, const std::string& base);
    static void dropStalePair(CacheIndex& index, const std::string& folder,
                              const std::string& base);
    // Stores the list as the folder's new cache pair, here and now.
    bool saveCache(CacheIndex& index) const;
    // What the cache pair is written from, for writing it elsewhere (a
    // worker thread); the list may change or go meanwhile.
    std::shared_ptr<ThumbCacheSnapshot> cacheSnapshot() const;
    // The same made in steps, for the window's thread to stay free: the
    // snapshot without its rows, then rows [from, from + count) added to it
    // (the next row to add is returned; all are in when it is rows()).
    std::shared_ptr<ThumbCacheSnapshot> cacheSnapshotHead() const;
    size_t addSnapshotRows(ThumbCacheSnapshot& snap, size_t from, size_t count) const;
    size_t rows() const { return records_.size(); }
    // Tells this list from any other made in the process, and counts the
    // thumbnails applied to it: a snapshot with both still equal holds what
    // the list holds.
    uint64_t serial() const { return serial_; }
    uint64_t revision() const { return revision_; }
    // Reads the cells back from the folder's cache pair just stored, so
    // that they too may leave memory; false (nothing changed) when that pair
    // does not hold this list's cells. A pair holds at most
    // ThumbImageListFile::kMaxCount cells: a bigger folder stores its first
    // ones, and its items beyond are stored as waiting for a thumbnail.
    bool useSavedCells(CacheIndex& index);
    // Whether the pair this list was loaded from, still the folder's, is
    // full and so could not hold more of its cells: storing again would
    // write the same cells.
    bool storedPairHoldsAllItCan(const CacheIndex& index) const;
    // Lets go of the cells that the cache file or the spill can give back,
    // except those of rows first..last: a big folder holds only what is
    // near the view (first > last keeps none).
    void releaseCellsOutside(int first, int last);
    // Cells converted and held in memory.
    int heldCellCount() const;

    // A finished thumbnail for the item at row (a failed one only counts).
    void applyThumbnail(int row, const ThumbResult& result);

    QString folder() const { return QString::fromStdString(folder_); }
    const std::string& folderPath() const { return folder_; }
    const Options& options() const { return options_; }
    std::vector<CThumbData>& records() { return records_; }
    const std::vector<CThumbData>& records() const { return records_; }
    int imageCount() const { return static_cast<int>(images_.size()); }
    // The cell image of a row (images from the cache are converted when
    // first asked for).
    QImage imageAt(int row) const;
    QImage image(int index) const;
    int pictureCount() const { return pictures_; }
    int folderCount() const { return folders_; }
    bool isPicture(int row) const;
    static bool isPictureRecord(const CThumbData& d);
    bool allPicturesDone() const;
    const QImage& cellTemplate() const { return template_; }
    ThumbRecipe recipe(bool useStamp) const;

    // The name a folder has in the cache index: its path.
    static std::string cacheKey(const std::string& folder) { return folder; }
    static std::string cacheKey(const QString& folder) { return folder.toStdString(); }

private:
    int addImage(const QImage& image);
    // The cell of image index from memory, the cache file or the spill,
    // without keeping it.
    QImage loadCell(int index) const;
    bool canReload(int index) const;

    Options options_;
    std::string folder_;
    QImage template_;
    std::vector<CThumbData> records_;
    std::vector<ThumbSortKey> keys_; // one per record once made
    int sortedColumn_ = -1;
    bool sortedAscending_ = true;
    mutable std::vector<QImage> images_; // null: still in the cache file
    // Shared with snapshots being written.
    std::shared_ptr<const ThumbImageListReader> cacheImages_;
    std::shared_ptr<CellSpill> spill_;
    // The band of the cache file read last, and its first image index.
    mutable std::vector<uint8_t> band_;
    mutable int bandFirst_ = -1;
    std::map<std::string, int> placeholders_; // type name -> image index
    std::string loadedBase_;                  // the pair loadCache read
    int pictures_ = 0;
    int folders_ = 0;
    uint64_t serial_;
    uint64_t revision_ = 0;
};

} // namespace kamelo
