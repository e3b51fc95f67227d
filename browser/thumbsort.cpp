#include "thumbsort.h"

#include "platform/nameorder.h"

#include <QString>

#include <algorithm>
#include <fcntl.h>
#include <numeric>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kamelo {

namespace {

constexpr size_t kSplitAt = 20000;

struct Key {
    int group = 2; // 0 parent, 1 folder, 2 file
    QString name;
    std::optional<QCollatorSortKey> nameKey;
    QString type;
    long long size = 0;
    long long mtime = 0;
};

// stat() of the items, relative to their folder held open: the records of a
// listing all share one, and the path is not walked again for each name.
class FolderStat {
public:
    ~FolderStat() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool stat(const std::string& path, struct stat& st) {
        const size_t slash = path.rfind('/');
        if (slash == std::string::npos || slash + 1 >= path.size())
            return ::stat(path.c_str(), &st) == 0;
        const std::string_view folder(path.data(), slash == 0 ? 1 : slash);
        if (folder != folder_) {
            if (fd_ >= 0)
                ::close(fd_);
            folder_.assign(folder);
            fd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        }
        if (fd_ < 0)
            return ::stat(path.c_str(), &st) == 0;
        return ::fstatat(fd_, path.c_str() + slash + 1, &st, 0) == 0; // links followed
    }

private:
    std::string folder_;
    int fd_ = -1;
};

Key keyOf(const CThumbData& d, int column, FolderStat& files) {
    Key k;
    k.group = d.isParent() ? 0 : d.isFolder() ? 1 : 2;
    k.name = QString::fromStdString(d.displayName);
    k.nameKey = NameOrder::sortKey(k.name);
    if (column == ThumbSort::kType)
        k.type = QString::fromStdString(d.typeName);
    struct stat st {};
    // Only sizes and dates need the file system.
    const bool needStat = column == ThumbSort::kSize || column == ThumbSort::kDate;
    if (needStat && k.group != 0 && files.stat(d.fullPath, st)) {
        k.size = k.group == 2 ? static_cast<long long>(st.st_size) : 0;
        k.mtime = static_cast<long long>(st.st_mtime);
    }
    return k;
}

int compareNames(const Key& a, const Key& b) {
    const int r = a.nameKey->compare(*b.nameKey);
    // Names equal but for case still need a fixed order.
    return r != 0 ? r : QString::compare(a.name, b.name);
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
    return r != 0 ? r : compareNames(a, b);
}

} // namespace

void ThumbSort::sort(std::vector<CThumbData>& records, int column, bool ascending) {
    std::vector<Key> keys(records.size());
    auto fill = [&](size_t from, size_t to) {
        FolderStat files;
        for (size_t i = from; i < to; ++i)
            keys[i] = keyOf(records[i], column, files);
    };
    // A big folder's keys (a stat() each for sizes and dates) are made on
    // two threads: its sort must keep pace with the click.
    const size_t half = records.size() / 2;
    bool split = records.size() >= kSplitAt;
    std::thread other;
    if (split) {
        try {
            other = std::thread(fill, half, records.size());
        } catch (...) {
            split = false;
        }
    }
    fill(0, split ? half : records.size());
    if (split)
        other.join();
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
