#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace kamelo::imaging::large {

// A tile of a picture: its scale level (the denominator, or any number the
// caller gives its levels) and its column and row in that level's grid.
struct TileKey {
    int level = 0;
    int x = 0;
    int y = 0;
    bool operator==(const TileKey&) const = default;
};

struct TileKeyHash {
    size_t operator()(const TileKey& k) const noexcept {
        uint64_t h = uint64_t(uint32_t(k.level)) * 0x9E3779B97F4A7C15ull;
        h ^= (uint64_t(uint32_t(k.x)) << 32 | uint32_t(k.y)) + 0x632BE59BD9B4E019ull + (h << 6);
        return size_t(h ^ (h >> 29));
    }
};

// Decoded tiles kept under a byte budget, the least recently used going
// first. Shared by the thread that paints and those that decode: a decoder
// claims a tile before making it (so no tile is made twice at once), puts
// it when done, and the painter collects the keys finished since it last
// looked. clear() (a new picture) makes the tickets of tiles still being
// made stale, so they cannot enter the cache afterwards. Tiles handed out
// stay valid for their holders after they are evicted.
template <class Tile> class TileCache {
public:
    using TilePtr = std::shared_ptr<const Tile>;

    explicit TileCache(size_t budgetBytes) : budget_(budgetBytes) {}

    // The tile, now the most recently used; null when it is not held.
    TilePtr find(const TileKey& key) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = index_.find(key);
        if (it == index_.end())
            return nullptr;
        order_.splice(order_.begin(), order_, it->second);
        return it->second->tile;
    }

    // A ticket (non-zero) when the caller is to make the tile; 0 when it is
    // held already or being made.
    uint64_t claim(const TileKey& key) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (index_.count(key) || pending_.count(key))
            return 0;
        pending_.insert(key);
        return epoch_;
    }

    // A finished tile of `bytes` bytes. False when the ticket is stale (the
    // cache was cleared meanwhile) or the tile alone exceeds the budget;
    // either way the claim ends.
    bool put(const TileKey& key, uint64_t ticket, TilePtr tile, size_t bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (ticket != epoch_)
            return false;
        pending_.erase(key);
        if (!tile || bytes > budget_)
            return false;
        if (const auto it = index_.find(key); it != index_.end())
            eraseLocked(it->second);
        order_.push_front(Entry{key, std::move(tile), bytes});
        index_[key] = order_.begin();
        used_ += bytes;
        finished_.push_back(key);
        trimLocked();
        return true;
    }

    // A claimed tile that will not be made (a failed or cancelled decode).
    void abandon(const TileKey& key, uint64_t ticket) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (ticket == epoch_)
            pending_.erase(key);
    }

    // The keys put since the last call, oldest first.
    std::vector<TileKey> takeFinished() {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::exchange(finished_, {});
    }

    // Drops every tile and every claim.
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        order_.clear();
        index_.clear();
        pending_.clear();
        finished_.clear();
        used_ = 0;
        ++epoch_;
    }

    void setBudget(size_t budgetBytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        budget_ = budgetBytes;
        trimLocked();
    }

    size_t bytes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return used_;
    }
    size_t count() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return index_.size();
    }

private:
    struct Entry {
        TileKey key;
        TilePtr tile;
        size_t bytes;
    };
    using Order = std::list<Entry>;

    void eraseLocked(typename Order::iterator it) {
        used_ -= it->bytes;
        index_.erase(it->key);
        order_.erase(it);
    }
    void trimLocked() {
        while (used_ > budget_ && !order_.empty())
            eraseLocked(std::prev(order_.end()));
    }

    mutable std::mutex mutex_;
    size_t budget_;
    size_t used_ = 0;
    uint64_t epoch_ = 1;
    Order order_; // most recently used first
    std::unordered_map<TileKey, typename Order::iterator, TileKeyHash> index_;
    std::unordered_set<TileKey, TileKeyHash> pending_;
    std::vector<TileKey> finished_;
};

} // namespace kamelo::imaging::large
