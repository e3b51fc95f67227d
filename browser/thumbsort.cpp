#include "thumbsort.h"

#include "platform/nameorder.h"

#include <QString>

#include <algorithm>
#include <numeric>
#include <sys/stat.h>

namespace kamelo {

namespace {

struct Key {
    int group = 2; // 0 parent, 1 folder, 2 file
    QString name;
    QString type;
    long long size = 0;
    long long mtime = 0;
};

Key keyOf(const CThumbData& d, int column) {
    Key k;
    k.group = d.isParent() ? 0 : d.isFolder() ? 1 : 2;
    k.name = QString::fromStdString(d.displayName);
    k.type = QString::fromStdString(d.typeName);
    struct stat st {};
    // Only sizes and dates need the file system.
    const bool needStat = column == ThumbSort::kSize || column == ThumbSort::kDate;
    if (needStat && k.group != 0 && ::stat(d.fullPath.c_str(), &st) == 0) {
        k.size = k.group == 2 ? static_cast<long long>(st.st_size) : 0;
        k.mtime = static_cast<long long>(st.st_mtime);
    }
    return k;
}

int compareKeys(const Key& a, const Key& b, int column) {
    int r = 0;
    switch (column) {
    case ThumbSort::kSize:
        r = a.size < b.size ? -1 : a.size > b.size ? 1 : 0;
        break;
    case ThumbSort::kType:
        r = NameOrder::compare(a.type, b.type);
        break;
    case ThumbSort::kDate:
        r = a.mtime < b.mtime ? -1 : a.mtime > b.mtime ? 1 : 0;
        break;
    default:
        break;
    }
    return r != 0 ? r : NameOrder::compare(a.name, b.name);
}

} // namespace

void ThumbSort::sort(std::vector<CThumbData>& records, int column, bool ascending) {
    std::vector<Key> keys;
    keys.reserve(records.size());
    for (const CThumbData& d : records)
        keys.push_back(keyOf(d, column));
    std::vector<size_t> order(records.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const Key &ka = keys[a], &kb = keys[b];
        if (ka.group != kb.group)
            return ka.group < kb.group;
        const int r = compareKeys(ka, kb, column);
        return ascending ? r < 0 : r > 0;
    });
    std::vector<CThumbData> sorted;
    sorted.reserve(records.size());
    for (size_t i : order)
        sorted.push_back(std::move(records[i]));
    records = std::move(sorted);
}

} // namespace kamelo
