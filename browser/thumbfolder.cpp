#include "thumbfolder.h"

#include "app/core/pictureextensions.h"
#include "browser/core/cacheindex.h"
#include "browser/core/cachevalidity.h"
#include "browser/core/folderenumerator.h"
#include "browser/core/thumbarchive.h"
#include "browser/core/thumbimagelist.h"
#include "thumbcellart.h"

#include <QFileInfo>

#include <cstring>
#include <filesystem>

namespace kamelo {

namespace {

QImage fromBgr(const std::vector<uint8_t>& bgr, int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = bgr.data() + size_t(y) * w * 3;
        auto* d = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            d[x] = qRgb(s[3 * x + 2], s[3 * x + 1], s[3 * x]);
    }
    return image;
}

std::vector<uint8_t> toBgr(const QImage& source, int w, int h) {
    QImage image = source.size() == QSize(w, h) ? source : source.scaled(w, h);
    image = image.convertToFormat(QImage::Format_RGB32);
    std::vector<uint8_t> out(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        const auto* s = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uint8_t* d = out.data() + size_t(y) * w * 3;
        for (int x = 0; x < w; ++x) {
            d[3 * x] = uint8_t(qBlue(s[x]));
            d[3 * x + 1] = uint8_t(qGreen(s[x]));
            d[3 * x + 2] = uint8_t(qRed(s[x]));
        }
    }
    return out;
}

} // namespace

ThumbFolder::ThumbFolder(Options options)
    : options_(options),
      template_(ThumbCellArt::cellTemplate(options.design, options.width, options.height)) {}

ThumbSpec ThumbFolder::spec(bool useStamp) const {
    return {options_.width, options_.height, options_.border, useStamp, template_};
}

int ThumbFolder::addImage(const QImage& image) {
    images_.push_back(image);
    return static_cast<int>(images_.size()) - 1;
}

QImage ThumbFolder::imageAt(int row) const {
    if (row < 0 || size_t(row) >= records_.size())
        return {};
    const int index = records_[size_t(row)].imageIndex;
    return index >= 0 && size_t(index) < images_.size() ? images_[size_t(index)] : QImage();
}

bool ThumbFolder::isPicture(int row) const {
    if (row < 0 || size_t(row) >= records_.size())
        return false;
    const CThumbData& d = records_[size_t(row)];
    return !d.isFolder() && PictureExtensions::isPicturePath(d.fullPath);
}

bool ThumbFolder::allPicturesDone() const {
    for (size_t i = 0; i < records_.size(); ++i)
        if (isPicture(int(i)) && !records_[i].thumbnailDone)
            return false;
    return true;
}

bool ThumbFolder::enumerate(const QString& folder) {
    records_.clear();
    images_.clear();
    placeholders_.clear();
    pictures_ = folders_ = 0;
    folder_ = folder;
    EnumerateOptions o;
    o.onlyPictures = options_.onlyPictures;
    o.details = options_.details;
    o.cellWidth = options_.width;
    o.cellHeight = options_.height;
    EnumerateResult r;
    if (!FolderEnumerator::enumerate(folder.toStdString(), o, r))
        return false;
    pictures_ = r.pictures;
    folders_ = r.folders;
    records_ = std::move(r.records);

    // Folder cells and type placeholders: one image each per fill.
    int folderImage = -1, parentImage = -1;
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
        }
    }
    return true;
}

void ThumbFolder::applyThumbnail(int row, const ThumbResult& result) {
    if (row < 0 || size_t(row) >= records_.size())
        return;
    CThumbData& d = records_[size_t(row)];
    d.thumbnailDone = 1;
    if (!result.decoded)
        return;
    d.imageIndex = addImage(result.cell);
    d.pictureRect = result.pictureRect;
    if (result.dateTakenKnown) {
        d.dateTakenKnown = 1;
        d.dateTaken = result.dateTaken;
    }
}

bool ThumbFolder::saveCache(CacheIndex& index) const {
    ThumbImageList list;
    list.width = options_.width;
    list.height = options_.height;
    list.images.reserve(images_.size());
    for (const QImage& image : images_)
        list.images.push_back(toBgr(image, list.width, list.height));
    const int n = index.nextNumber();
    const std::string base = index.cacheBase(n);
    // Both files first: the index never names a pair that is not complete.
    if (!ThumbImageListFile::writeFile(CacheIndex::cacPath(base), list) ||
        !ThumbArchive::writeFile(CacheIndex::lisPath(base), records_)) {
        std::filesystem::remove(CacheIndex::cacPath(base));
        return false;
    }
    return index.record(cacheKey(folder_), base, n);
}

ThumbFolder::CacheResult ThumbFolder::loadCache(CacheIndex& index, const QString& folder) {
    const std::string key = cacheKey(folder);
    const std::string base = index.lookup(key);
    if (base == CacheIndex::kNotFound)
        return CacheResult::NotFound;

    std::vector<CThumbData> cached;
    ThumbImageList list;
    EnumerateOptions o;
    o.withParent = false;
    o.onlyPictures = options_.onlyPictures;
    EnumerateResult current;
    const bool usable = ThumbArchive::readFile(CacheIndex::lisPath(base), cached) &&
                        FolderEnumerator::enumerate(folder.toStdString(), o, current) &&
                        cacheStillValid(cached, current.records) &&
                        ThumbImageListFile::readFile(CacheIndex::cacPath(base), list) &&
                        list.width == options_.width && list.height == options_.height;
    if (!usable) {
        index.removeStale(key);
        return CacheResult::Stale;
    }
    records_ = std::move(cached);
    images_.clear();
    placeholders_.clear();
    for (const auto& bgr : list.images)
        images_.push_back(fromBgr(bgr, list.width, list.height));
    folder_ = folder;
    pictures_ = current.pictures;
    folders_ = 0;
    for (const CThumbData& d : records_)
        folders_ += d.isFolder() ? 1 : 0;
    return CacheResult::Loaded;
}

} // namespace kamelo
