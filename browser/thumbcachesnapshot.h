#pragma once

#include "browser/core/cellspill.h"
#include "browser/core/thumbdata.h"
#include "browser/core/thumbimagelist.h"

#include <QImage>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kamelo {

// Everything a folder's cache pair is written from, taken off the list at
// one moment: the records, the cells held in memory (shared, not copied) and
// the cache file and spill that give back the others. It stands alone, so a
// worker thread may write it while the list goes on, moves to another folder
// or is gone.
struct ThumbCacheSnapshot {
    std::string key; // the folder's name in the cache index
    int width = 0;
    int height = 0;
    bool upright = true;
    int colour = 0;
    std::vector<CThumbData> records;
    std::vector<QImage> cells; // null: read from reader or spill
    std::shared_ptr<const ThumbImageListReader> reader;
    std::shared_ptr<const CellSpill> spill;
    QImage fallback; // for a cell its file no longer holds
    // Which list state this is: the folder's serial and its count of
    // thumbnails applied.
    uint64_t serial = 0;
    uint64_t revision = 0;

    // Writes base.cac and base.lis, each atomically. False, with neither
    // left behind, when a file cannot be written or stop is set meanwhile.
    bool write(const std::string& base, const std::atomic<bool>& stop) const;
    // Image index as the cache file stores it (blue-green-red, top-down,
    // width * 3 bytes a row); black when there is none.
    void cellBgr(int index, uint8_t* out) const;

private:
    mutable std::vector<uint8_t> band_;
    mutable int bandFirst_ = -1;
};

} // namespace kamelo
