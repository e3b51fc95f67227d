#include "thumbcachesnapshot.h"

#include "browser/core/cacheindex.h"
#include "browser/core/thumbarchive.h"

#include <cstdio>
#include <cstring>

namespace kamelo {

namespace {

void toBgr(const QImage& image, uint8_t* out) {
    const size_t rowBytes = size_t(image.width()) * 3;
    for (int y = 0; y < image.height(); ++y) {
        const auto* s = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uint8_t* o = out + size_t(y) * rowBytes;
        for (int x = 0; x < image.width(); ++x) {
            o[3 * x] = uint8_t(qBlue(s[x]));
            o[3 * x + 1] = uint8_t(qGreen(s[x]));
            o[3 * x + 2] = uint8_t(qRed(s[x]));
        }
    }
}

} // namespace

void ThumbCacheSnapshot::cellBgr(int index, uint8_t* out) const {
    const size_t rowBytes = size_t(width) * 3;
    const size_t bytes = rowBytes * size_t(height);
    QImage cell;
    if (index >= 0 && size_t(index) < cells.size())
        cell = cells[size_t(index)];
    if (cell.isNull() && index >= 0 && reader && index < reader->layout().count &&
        reader->layout().width == width && reader->layout().height == height) {
        // The stored band is already in the file's own byte order.
        const int first = index / 4 * 4;
        if (bandFirst_ != first)
            bandFirst_ = reader->readBand(index, band_) ? first : -1;
        if (bandFirst_ == first) {
            for (int y = 0; y < height; ++y)
                std::memcpy(out + size_t(y) * rowBytes, reader->bandRow(band_, index, y), rowBytes);
            return;
        }
        cell = fallback; // the file went short since it was checked
    } else if (cell.isNull() && spill && spill->has(index)) {
        QImage parked(width, height, QImage::Format_RGB32);
        cell = !parked.isNull() && size_t(parked.sizeInBytes()) == spill->bytesPerCell() &&
                       spill->get(index, parked.bits())
                   ? parked
                   : fallback;
    }
    if (cell.isNull()) {
        std::memset(out, 0, bytes);
        return;
    }
    if (cell.size() != QSize(width, height) || cell.format() != QImage::Format_RGB32)
        cell = cell.scaled(width, height).convertToFormat(QImage::Format_RGB32); // fitted
    toBgr(cell, out);
}

bool ThumbCacheSnapshot::write(const std::string& base, const std::atomic<bool>& stop) const {
    bandFirst_ = -1;
    const bool ok =
        ThumbImageListFile::writeFileByCells(CacheIndex::cacPath(base), width, height,
                                             int(cells.size()),
                                             [&](int index, uint8_t* bgr) {
                                                 if (stop.load(std::memory_order_relaxed))
                                                     return false;
                                                 cellBgr(index, bgr);
                                                 return true;
                                             }) &&
        !stop.load() && ThumbArchive::writeFile(CacheIndex::lisPath(base), records) && !stop.load();
    if (!ok) {
        std::remove(CacheIndex::cacPath(base).c_str());
        std::remove(CacheIndex::lisPath(base).c_str());
    }
    return ok;
}

} // namespace kamelo
