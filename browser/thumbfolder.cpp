#include "thumbfolder.h"

#include "base/pictureextensions.h"
#include "browser/core/cacheindex.h"
#include "browser/core/cachevalidity.h"
#include "browser/core/folderenumerator.h"
#include "browser/core/thumbarchive.h"
#include "browser/core/thumbimagelist.h"
#include "thumbcachesnapshot.h"
#include "thumbcellart.h"

#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <unordered_map>

namespace kamelo {

namespace {

ThumbFolder::Options settledOptions(ThumbFolder::Options o) {
    o.colour = thumbcolour::settled(o.colour);
    return o;
}

} // namespace

ThumbFolder::Options ThumbFolder::Options::fromSettings(const CUiSettings& s) {
    Options o;
    o.width = s.thumbWidth;
    o.height = s.thumbHeight;
    o.border = s.thumbBorder;
    o.design = s.thumbDesign;
    o.onlyPictures = s.onlyPictures != 0;
    o.upright = s.applyOrientation != 0;
    return o;
}

ThumbFolder::ThumbFolder(Options options)
    : options_(settledOptions(options)),
      template_(ThumbCellArt::cellTemplate(options.design, options.width, options.height)) {
    static std::atomic<uint64_t> made{0};
    serial_ = ++made;
}

ThumbRecipe ThumbFolder::recipe(bool useStamp) const {
    return {options_.width,   options_.height, options_.border, useStamp,
            options_.upright, template_,       options_.colour};
}

int ThumbFolder::addImage(const QImage& image) {
    images_.push_back(image);
    return static_cast<int>(images_.size()) - 1;
}

QImage ThumbFolder::imageAt(int row) const {
    if (row < 0 || size_t(row) >= records_.size())
        return {};
    return image(records_[size_t(row)].imageIndex);
}

QImage ThumbFolder::image(int index) const {
    if (index < 0 || size_t(index) >= images_.size())
        return {};
    QImage& cell = images_[size_t(index)];
    if (cell.isNull())
        cell = loadCell(index);
    return cell;
}

bool ThumbFolder::canReload(int index) const {
    return (cacheImages_ && index < cacheImages_->layout().count) || (spill_ && spill_->has(index));
}

QImage ThumbFolder::loadCell(int index) const {
    const QImage& held = images_[size_t(index)];
    if (!held.isNull())
        return held;
    if (cacheImages_ && index < cacheImages_->layout().count) {
        // Converted on first use from the band of four the file stores it
        // in: a cached folder shows without reading the thumbnails nobody
        // looks at. Only the cell asked for is converted (its neighbours in
        // the file may belong to rows far from the view); the last band read
        // serves them when they are asked for next.
        const ThumbImageListFile::Layout& l = cacheImages_->layout();
        const int first = index / 4 * 4;
        if (bandFirst_ != first) {
            bandFirst_ = cacheImages_->readBand(index, band_) ? first : -1;
            if (bandFirst_ < 0)
                band_.clear();
        }
        if (bandFirst_ != first)
            return template_; // the file went short since it was checked
        QImage cell(l.width, l.height, QImage::Format_RGB32);
        for (int y = 0; y < l.height; ++y) {
            const uint8_t* src = cacheImages_->bandRow(band_, index, y);
            auto* dst = reinterpret_cast<QRgb*>(cell.scanLine(y));
            for (int x = 0; x < l.width; ++x)
                dst[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
        }
        return cell;
    }
    if (spill_ && spill_->has(index)) {
        QImage cell(options_.width, options_.height, QImage::Format_RGB32);
        if (!cell.isNull() && size_t(cell.sizeInBytes()) == spill_->bytesPerCell() &&
            spill_->get(index, cell.bits()))
            return cell;
        return template_;
    }
    return {};
}

bool ThumbFolder::isPicture(int row) const {
    if (row < 0 || size_t(row) >= records_.size())
        return false;
    return isPictureRecord(records_[size_t(row)]);
}

bool ThumbFolder::isPictureRecord(const CThumbData& d) {
    return !d.isFolder() && PictureExtensions::isPicturePath(d.fullPath);
}

bool ThumbFolder::allPicturesDone() const {
    // The flag first: telling a picture by its name costs far more, and a
    // folder of 100,000 is asked once its thumbnails are in.
    for (const CThumbData& d : records_)
        if (!d.thumbnailDone && isPictureRecord(d))
            return false;
    return true;
}

ThumbFolder::Listing ThumbFolder::list(const std::string& folder, const Options& options,
                                       int column, bool ascending, const std::atomic<bool>* stop) {
    Listing l;
    l.folder = folder;
    EnumerateOptions o;
    o.onlyPictures = options.onlyPictures;
    o.details = options.details;
    o.withParent = options.withParent;
    o.cellWidth = options.width;
    o.cellHeight = options.height;
    o.stop = stop;
    if (!FolderEnumerator::enumerate(folder, o, l.items))
        return l;
    if (column >= 0) {
        l.keys = ThumbSort::makeKeys(l.items.records, &l.items.stamps, stop);
        if (l.keys.size() != l.items.records.size())
            return l; // stopped
        ThumbSort::sortByKeys(l.items.records, l.keys, column, ascending);
        l.sortColumn = column;
        l.ascending = ascending;
    }
    l.readable = true;
    return l;
}

bool ThumbFolder::enumerate(const std::string& folder) {
    return adopt(list(folder, options_, -1, true));
}

bool ThumbFolder::adopt(Listing&& listing) {
    records_.clear();
    keys_.clear();
    sortedColumn_ = -1;
    images_.clear();
    cacheImages_.reset();
    spill_.reset();
    bandFirst_ = -1;
    placeholders_.clear();
    loadedBase_.clear();
    pictures_ = folders_ = 0;
    folder_ = listing.folder;
    ++revision_;
    if (!listing.readable)
        return false;
    pictures_ = listing.items.pictures;
    folders_ = listing.items.folders;
    records_ = std::move(listing.items.records);
    if (listing.keys.size() == records_.size()) {
        keys_ = std::move(listing.keys);
        sortedColumn_ = listing.sortColumn;
        sortedAscending_ = listing.ascending;
    }

    // Folder cells and type placeholders: one image each per fill.
    int folderImage = -1, parentImage = -1;
    auto previous = placeholders_.end();
    for (CThumbData& d : records_) {
        if (d.isParent()) {
            if (parentImage < 0)
                parentImage =
                    addImage(ThumbCellArt::iconCell(template_, ThumbCellArt::parentIcon()));
            d.imageIndex = parentImage;
        } else if (d.isFolder()) {
            if (folderImage < 0)
                folderImage =
                    addImage(ThumbCellArt::iconCell(template_, ThumbCellArt::folderIcon()));
            d.imageIndex = folderImage;
        } else if (previous != placeholders_.end() && previous->first == d.typeName) {
            d.imageIndex = previous->second; // a folder's files mostly share a type
        } else {
            auto it = placeholders_.find(d.typeName);
            if (it == placeholders_.end())
                it = placeholders_
                         .emplace(d.typeName,
                                  addImage(ThumbCellArt::iconCell(
                                      template_,
                                      ThumbCellArt::fileIcon(QString::fromStdString(d.fullPath)))))
                         .first;
            d.imageIndex = it->second;
            previous = it;
        }
    }
    return true;
}

bool ThumbFolder::inOrder(int column, bool ascending) {
    if (ThumbSort::repairKeys(records_, keys_))
        sortedColumn_ = -1;
    return column == sortedColumn_ && ascending == sortedAscending_;
}

void ThumbFolder::sort(int column, bool ascending) {
    if (inOrder(column, ascending))
        return;
    ThumbSort::sortByKeys(records_, keys_, column, ascending);
    sortedColumn_ = column;
    sortedAscending_ = ascending;
}

void ThumbFolder::removeRecord(int row) {
    if (row < 0 || size_t(row) >= records_.size())
        return;
    if (keys_.size() == records_.size())
        keys_.erase(keys_.begin() + row);
    records_.erase(records_.begin() + row);
}

void ThumbFolder::markChanged(int row) {
    if (row >= 0 && size_t(row) < keys_.size())
        keys_[size_t(row)].stale = true;
}

void ThumbFolder::applyThumbnail(int row, const ThumbResult& result) {
    if (row < 0 || size_t(row) >= records_.size())
        return;
    CThumbData& d = records_[size_t(row)];
    d.thumbnailDone = 1;
    ++revision_;
    if (!result.decoded)
        return;
    d.imageIndex = addImage(result.cell);
    // Parked on disk as it arrives, so the list may let it go when it is
    // far from the view (rows of RGB32 are exactly width * 4 bytes).
    const QImage& cell = result.cell;
    if (!options_.spillFolder.empty() && cell.size() == QSize(options_.width, options_.height) &&
        cell.format() == QImage::Format_RGB32) {
        if (!spill_)
            spill_ = std::make_shared<CellSpill>(options_.spillFolder, size_t(cell.sizeInBytes()));
        if (spill_->isOpen())
            spill_->put(d.imageIndex, cell.constBits());
    }
    d.pictureRect = result.pictureRect;
    if (result.dateTakenKnown) {
        d.dateTakenKnown = 1;
        d.dateTaken = result.dateTaken;
    }
}

std::shared_ptr<ThumbCacheSnapshot> ThumbFolder::cacheSnapshot() const {
    std::shared_ptr<ThumbCacheSnapshot> snap = cacheSnapshotHead();
    addSnapshotRows(*snap, 0, records_.size());
    return snap;
}

size_t ThumbFolder::addSnapshotRows(ThumbCacheSnapshot& snap, size_t from, size_t count) const {
    const size_t to = std::min(records_.size(), from + std::min(count, records_.size()));
    if (from == 0)
        snap.records.reserve(records_.size());
    for (size_t i = from; i < to; ++i) {
        CThumbData& d = snap.records.emplace_back(records_[i]);
        // The image file counts in 16 bits: the first cells made (the type
        // icons, then the thumbnails in the order the view asked for them)
        // are stored, and the items beyond wait for theirs on the next visit.
        if (images_.size() > size_t(ThumbImageListFile::kMaxCount) &&
            (d.imageIndex < 0 || d.imageIndex >= ThumbImageListFile::kMaxCount)) {
            const auto icon = placeholders_.find(d.typeName);
            d.imageIndex = icon != placeholders_.end() ? icon->second : 0;
            d.thumbnailDone = 0;
            d.pictureRect = {};
        }
    }
    return std::max(from, to);
}

std::shared_ptr<ThumbCacheSnapshot> ThumbFolder::cacheSnapshotHead() const {
    auto snap = std::make_shared<ThumbCacheSnapshot>();
    snap->key = cacheKey(folder_);
    snap->width = options_.width;
    snap->height = options_.height;
    snap->upright = options_.upright;
    snap->colour = options_.colour;
    snap->cells = images_; // shared pixels, not copies
    if (images_.size() > size_t(ThumbImageListFile::kMaxCount))
        snap->cells.resize(size_t(ThumbImageListFile::kMaxCount));
    snap->reader = cacheImages_;
    snap->spill = spill_;
    snap->fallback = template_;
    snap->serial = serial_;
    snap->revision = revision_;
    return snap;
}

bool ThumbFolder::saveCache(CacheIndex& index) const {
    index.keepOnlyRules(options_.upright, options_.colour);
    const int n = index.reserveNumber();
    if (n < 0)
        return false;
    const std::string base = index.cacheBase(n);
    // Both files first: the index never names a pair that is not complete.
    const std::atomic<bool> never{false};
    if (!cacheSnapshot()->write(base, never))
        return false;
    // The pair the folder had before goes once the index names this one.
    if (!index.record(cacheKey(folder_), base, n)) {
        index.removePair(base);
        return false;
    }
    return true;
}

bool ThumbFolder::useSavedCells(CacheIndex& index) {
    const std::string base = index.lookup(cacheKey(folder_));
    if (base == CacheIndex::kNotFound)
        return false;
    auto images = std::make_shared<const ThumbImageListReader>(CacheIndex::cacPath(base));
    const ThumbImageListFile::Layout& l = images->layout();
    const bool all = size_t(l.count) == images_.size();
    const bool capped = l.count == ThumbImageListFile::kMaxCount && !all &&
                        images_.size() > size_t(ThumbImageListFile::kMaxCount);
    if (!images->isOpen() || l.width != options_.width || l.height != options_.height ||
        (!all && !capped))
        return false;
    cacheImages_ = std::move(images);
    bandFirst_ = -1;
    if (all)
        spill_.reset(); // the cache file holds every cell now
    return true;
}

void ThumbFolder::releaseCellsOutside(int first, int last) {
    if (!cacheImages_ && !spill_)
        return;
    std::vector<bool> keep(images_.size(), false);
    const int rows = static_cast<int>(records_.size());
    for (int r = std::max(0, first); r <= std::min(last, rows - 1); ++r) {
        const int i = records_[size_t(r)].imageIndex;
        if (i >= 0 && size_t(i) < keep.size())
            keep[size_t(i)] = true;
    }
    for (size_t i = 0; i < images_.size(); ++i)
        if (!keep[i] && !images_[i].isNull() && canReload(int(i)))
            images_[i] = QImage();
}

bool ThumbFolder::storedPairHoldsAllItCan(const CacheIndex& index) const {
    return !loadedBase_.empty() && images_.size() > size_t(ThumbImageListFile::kMaxCount) &&
           cacheImages_ && cacheImages_->layout().count == ThumbImageListFile::kMaxCount &&
           index.lookup(cacheKey(folder_)) == loadedBase_;
}

int ThumbFolder::heldCellCount() const {
    int n = 0;
    for (const QImage& c : images_)
        n += c.isNull() ? 0 : 1;
    return n;
}

ThumbFolder::CacheResult ThumbFolder::loadCache(CacheIndex& index, const std::string& folder) {
    const std::string base = cachedPair(index, folder);
    if (base == CacheIndex::kNotFound)
        return CacheResult::NotFound;
    const CacheResult r = loadPair(folder, base);
    if (r == CacheResult::Stale)
        dropStalePair(index, folder, base);
    return r;
}

std::string ThumbFolder::cachedPair(CacheIndex& index, const std::string& folder) const {
    index.keepOnlyRules(options_.upright, options_.colour);
    return index.lookup(cacheKey(folder));
}

void ThumbFolder::dropStalePair(CacheIndex& index, const std::string& folder,
                                const std::string& base) {
    index.removeStale(cacheKey(folder), base);
}

ThumbFolder::CacheResult ThumbFolder::loadPair(const std::string& folder, const std::string& base) {

    std::vector<CThumbData> cached;
    EnumerateOptions o;
    o.withParent = false;
    o.onlyPictures = options_.onlyPictures;
    EnumerateResult current;
    auto images = std::make_shared<const ThumbImageListReader>(CacheIndex::cacPath(base));
    const ThumbImageListFile::Layout& layout = images->layout();
    const bool usable = ThumbArchive::readFile(CacheIndex::lisPath(base), cached) &&
                        FolderEnumerator::enumerate(folder, o, current) &&
                        cacheStillValid(cached, current.records) && images->isOpen() &&
                        layout.width == options_.width && layout.height == options_.height;
    if (!usable)
        return CacheResult::Stale;
    records_ = std::move(cached);
    ++revision_;
    // Sort keys from the sizes and dates just listed for the check.
    {
        std::unordered_map<std::string_view, size_t> at;
        at.reserve(current.records.size());
        for (size_t i = 0; i < current.records.size(); ++i)
            at.emplace(current.records[i].fullPath, i);
        std::vector<FileStamp> stamps(records_.size());
        for (size_t i = 0; i < records_.size(); ++i)
            if (const auto it = at.find(records_[i].fullPath); it != at.end())
                stamps[i] = current.stamps[it->second];
        keys_ = ThumbSort::makeKeys(records_, &stamps);
        sortedColumn_ = -1;
    }
    images_.assign(size_t(layout.count), QImage());
    cacheImages_ = std::move(images);
    spill_.reset();
    bandFirst_ = -1;
    placeholders_.clear();
    // Items still waiting for a thumbnail show their type's icon.
    for (const CThumbData& d : records_)
        if (!d.thumbnailDone && !d.isFolder() && d.imageIndex >= 0 && d.imageIndex < layout.count)
            placeholders_.emplace(d.typeName, d.imageIndex);
    loadedBase_ = base;
    folder_ = folder;
    pictures_ = current.pictures;
    folders_ = 0;
    for (const CThumbData& d : records_)
        folders_ += d.isFolder() ? 1 : 0;
    return CacheResult::Loaded;
}

} // namespace kamelo
