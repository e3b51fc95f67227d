#include "thumbsort.h"

#include "platform/nameorder.h"

#include <QString>

#include <algorithm>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <map>
#include <numeric>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kamelo {

namespace {

constexpr size_t kSplitAt = 20000;

// stat() of the items, relative to their folder held open: the records of a
// listing all share one, and the path is not walked again for each name.
class FolderStat {
public:
    FolderStat() = default;
    FolderStat(const FolderStat&) = delete;
    FolderStat& operator=(const FolderStat&) = delete;
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

// Runs fill over [0, n) in two halves on two threads for a big folder, whose
// keys must keep pace with the listing; on one when a thread cannot start.
void splitWork(size_t n, const std::function<void(size_t, size_t)>& fill) {
    const size_t half = n / 2;
    std::thread other;
    if (n >= kSplitAt) {
        try {
            other = std::thread(fill, half, n);
        } catch (...) {
        }
    }
    fill(0, other.joinable() ? half : n);
    if (other.joinable())
        other.join();
}

int groupOf(const CThumbData& d) {
    return d.isParent() ? 0 : d.isFolder() ? 1 : 2;
}

size_t hashOf(const std::string& s) {
    return std::hash<std::string_view>()(s);
}

// Size and date as the file system gives them now (none for the parent).
void readStamp(const CThumbData& d, ThumbSortKey& k, FolderStat& files) {
    k.size = k.modified = 0;
    struct stat st {};
    if (k.group != 0 && files.stat(d.fullPath, st)) {
        k.size = k.group == 2 ? static_cast<int64_t>(st.st_size) : 0;
        k.modified = static_cast<int64_t>(st.st_mtime);
    }
}

// Name ranks from collation keys made once per name (the file manager's
// order; names equal but for case get a fixed order, identical ones one
// rank), and type ranks from the few distinct type names.
bool rankNames(const std::vector<CThumbData>& records, std::vector<ThumbSortKey>& keys,
               const std::atomic<bool>* stop) {
    const size_t n = records.size();
    std::vector<QString> names(n);
    std::vector<std::optional<QCollatorSortKey>> collated(n);
    splitWork(n, [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            if (stop && (i & 1023) == 0 && stop->load(std::memory_order_relaxed))
                return;
            names[i] = QString::fromStdString(records[i].displayName);
            collated[i] = NameOrder::sortKey(names[i]);
        }
    });
    if (stop && stop->load())
        return false;
    auto compare = [&](size_t a, size_t b) {
        const int r = collated[a]->compare(*collated[b]);
        return r != 0 ? r : QString::compare(names[a], names[b]);
    };
    std::vector<uint32_t> order(n);
    std::iota(order.begin(), order.end(), uint32_t(0));
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return compare(a, b) < 0; });
    uint32_t rank = 0;
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && compare(order[i - 1], order[i]) != 0)
            ++rank;
        keys[order[i]].nameRank = rank;
    }

    std::map<std::string, uint32_t> types;
    for (const CThumbData& d : records)
        types.emplace(d.typeName, 0);
    std::vector<std::pair<QString, uint32_t*>> typeOrder;
    for (auto& [type, typeRank] : types)
        typeOrder.emplace_back(QString::fromStdString(type), &typeRank);
    std::sort(typeOrder.begin(), typeOrder.end(), [](const auto& a, const auto& b) {
        return NameOrder::compare(a.first, b.first) < 0;
    });
    rank = 0;
    for (size_t i = 0; i < typeOrder.size(); ++i) {
        if (i > 0 && NameOrder::compare(typeOrder[i - 1].first, typeOrder[i].first) != 0)
            ++rank;
        *typeOrder[i].second = rank;
    }
    for (size_t i = 0; i < n; ++i)
        keys[i].typeRank = types[records[i].typeName];
    return true;
}

} // namespace

std::vector<ThumbSortKey> ThumbSort::makeKeys(const std::vector<CThumbData>& records,
                                              const std::vector<FileStamp>* stamps,
                                              const std::atomic<bool>* stop) {
    const size_t n = records.size();
    if (stamps && stamps->size() != n)
        stamps = nullptr;
    std::vector<ThumbSortKey> keys(n);
    splitWork(n, [&](size_t from, size_t to) {
        FolderStat files;
        for (size_t i = from; i < to; ++i) {
            const CThumbData& d = records[i];
            ThumbSortKey& k = keys[i];
            k.group = static_cast<uint8_t>(groupOf(d));
            k.pathHash = hashOf(d.fullPath);
            k.nameHash = hashOf(d.displayName);
            if (stamps) {
                k.size = k.group == 2 ? (*stamps)[i].size : 0;
                k.modified = k.group != 0 ? (*stamps)[i].modified : 0;
            } else {
                if (stop && (i & 1023) == 0 && stop->load(std::memory_order_relaxed))
                    return;
                readStamp(d, k, files);
            }
        }
    });
    if ((stop && stop->load()) || !rankNames(records, keys, stop))
        return {};
    return keys;
}

bool ThumbSort::repairKeys(const std::vector<CThumbData>& records,
                           std::vector<ThumbSortKey>& keys) {
    if (keys.size() != records.size()) {
        keys = makeKeys(records, nullptr);
        return true;
    }
    bool renamed = false, changed = false;
    FolderStat files;
    for (size_t i = 0; i < records.size(); ++i) {
        const CThumbData& d = records[i];
        ThumbSortKey& k = keys[i];
        const size_t pathHash = hashOf(d.fullPath);
        if (pathHash == k.pathHash && !k.stale)
            continue;
        changed = true;
        const size_t nameHash = hashOf(d.displayName);
        renamed = renamed || nameHash != k.nameHash || k.group != groupOf(d);
        k.group = static_cast<uint8_t>(groupOf(d));
        k.pathHash = pathHash;
        k.nameHash = nameHash;
        k.stale = false;
        readStamp(d, k, files);
    }
    if (renamed)
        rankNames(records, keys, nullptr);
    return changed;
}

void ThumbSort::sortByKeys(std::vector<CThumbData>& records, std::vector<ThumbSortKey>& keys,
                           int column, bool ascending) {
    if (keys.size() != records.size())
        return;
    // Flat entries compared field by field; the index last keeps items
    // equal in every respect in their order, whichever the direction.
    struct Entry {
        int64_t primary;
        uint32_t rank;
        uint32_t index;
        uint8_t group;
    };
    constexpr int64_t kFar = std::numeric_limits<int64_t>::max();
    std::vector<Entry> entries(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const ThumbSortKey& k = keys[i];
        int64_t primary = 0;
        switch (column) {
        case kSize:
            primary = k.size;
            break;
        case kType:
            primary = k.typeRank;
            break;
        case kDate:
            primary = k.modified;
            break;
        default:
            break;
        }
        primary = std::clamp(primary, -kFar, kFar);
        entries[i] = {ascending ? primary : -primary,
                      ascending ? k.nameRank : std::numeric_limits<uint32_t>::max() - k.nameRank,
                      static_cast<uint32_t>(i), k.group};
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.group != b.group)
            return a.group < b.group;
        if (a.primary != b.primary)
            return a.primary < b.primary;
        if (a.rank != b.rank)
            return a.rank < b.rank;
        return a.index < b.index;
    });
    std::vector<CThumbData> sortedRecords;
    std::vector<ThumbSortKey> sortedKeys;
    sortedRecords.reserve(records.size());
    sortedKeys.reserve(keys.size());
    for (const Entry& e : entries) {
        sortedRecords.push_back(std::move(records[e.index]));
        sortedKeys.push_back(keys[e.index]);
    }
    records = std::move(sortedRecords);
    keys = std::move(sortedKeys);
}

void ThumbSort::sort(std::vector<CThumbData>& records, int column, bool ascending) {
    // Only sizes and dates need the file system.
    const std::vector<FileStamp> none(records.size());
    const bool needStat = column == kSize || column == kDate;
    std::vector<ThumbSortKey> keys = makeKeys(records, needStat ? nullptr : &none);
    sortByKeys(records, keys, column, ascending);
}

} // namespace kamelo
