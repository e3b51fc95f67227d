#pragma once

#include "browser/core/folderenumerator.h"
#include "browser/core/thumbdata.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace kamelo {

// What one record is sorted by, made once when its folder is listed: a sort
// is then an index sort over these, with no stat() or collation at the
// click. The hashes tell which records changed behind the keys' back.
struct ThumbSortKey {
    int64_t size = 0;
    int64_t modified = 0;
    uint32_t nameRank = 0; // place in the name order; equal names share one
    uint32_t typeRank = 0;
    size_t pathHash = 0;
    size_t nameHash = 0;
    uint8_t group = 2;  // 0 parent, 1 folder, 2 file
    bool stale = false; // the file changed: size and date read again
};

// The order of the thumbnail list: the parent entry first and folders before
// files whatever the column and direction; then by name (the file manager's
// order), size, type or modification date, names breaking ties. Sizes and
// dates are the file system's, as listed or read when the keys are made.
class ThumbSort {
public:
    enum Column { kName = 0, kSize = 1, kType = 2, kDate = 3 };
    // Keys made here and now.
    static void sort(std::vector<CThumbData>& records, int column, bool ascending);

    // One key per record; sizes and dates from stamps (one per record) when
    // given, else from the file system. Empty when stop was set meanwhile.
    static std::vector<ThumbSortKey> makeKeys(const std::vector<CThumbData>& records,
                                              const std::vector<FileStamp>* stamps,
                                              const std::atomic<bool>* stop = nullptr);
    // Makes again the keys of records renamed, moved or marked stale since;
    // false when every key still fits its record.
    static bool repairKeys(const std::vector<CThumbData>& records, std::vector<ThumbSortKey>& keys);
    // Sorts records and their keys alike (keys.size() == records.size()).
    static void sortByKeys(std::vector<CThumbData>& records, std::vector<ThumbSortKey>& keys,
                           int column, bool ascending);
};

} // namespace kamelo
