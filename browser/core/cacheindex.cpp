#include "cacheindex.h"

#include "closeaside.h"

#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/thumbcachereset.h"

#include <algorithm>
#include <cstdio>

namespace kamelo {

CacheIndex::CacheIndex(SettingsStore& store, std::string cacheFolder)
    : store_(store), cacheFolder_(std::move(cacheFolder)) {}

std::string CacheIndex::lookup(const std::string& folder) const {
    return store_.getString(keys::kCache, folder, kNotFound);
}

int CacheIndex::nextNumber() {
    const int32_t n = store_.getInt(keys::kCache, keys::kCacheCount, 0);
    if (n >= 0 && n <= kMaxNumber)
        return n;
    ThumbCacheReset::clear(store_, cacheFolder_);
    return 0;
}

std::string CacheIndex::cacheBase(int number) const {
    return cacheFolder_ + "/" + std::to_string(number);
}

int CacheIndex::reserveNumber() {
    SettingsStore::Batch batch(store_);
    const int n = nextNumber();
    store_.setInt(keys::kCache, keys::kCacheCount, n + 1);
    return batch.commit() ? n : -1;
}

bool CacheIndex::record(const std::string& folder, const std::string& cacheBase, int number) {
    if (number < 0 || number > kMaxNumber)
        return false;
    SettingsStore::Batch batch(store_);
    // Read once locked: another program may have saved the folder meanwhile.
    const std::string before = lookup(folder);
    const int32_t count = store_.getInt(keys::kCache, keys::kCacheCount, 0);
    const int32_t next =
        count >= 0 && count <= kMaxNumber + 1 ? std::max(count, number + 1) : number + 1;
    store_.setString(keys::kCache, folder, cacheBase);
    store_.setInt(keys::kCache, keys::kCacheCount, next);
    if (!batch.commit())
        return false;
    if (before != kNotFound && before != cacheBase)
        removePair(before);
    return true;
}

int CacheIndex::orientationRule() const {
    return store_.getInt(keys::kCache, keys::kCacheOrientation, 0) != 0 ? 1 : 0;
}

int CacheIndex::colourRule() const {
    return store_.getInt(keys::kCache, keys::kCacheColour, 0);
}

bool CacheIndex::keepOnlyOrientationRule(bool upright) {
    return keepOnlyRules(upright, colourRule());
}

bool CacheIndex::keepOnlyColourRule(int colour) {
    return keepOnlyRules(orientationRule() != 0, colour);
}

bool CacheIndex::keepOnlyRules(bool upright, int colour) {
    if (orientationRule() == (upright ? 1 : 0) && colourRule() == colour)
        return false;
    // Emptying the cache drops every record of the index: both are written again.
    ThumbCacheReset::clear(store_, cacheFolder_);
    SettingsStore::Batch batch(store_);
    store_.setInt(keys::kCache, keys::kCacheOrientation, upright ? 1 : 0);
    store_.setInt(keys::kCache, keys::kCacheColour, colour);
    batch.commit();
    return true;
}

void CacheIndex::removeStale(const std::string& folder, const std::string& staleBase) {
    SettingsStore::Batch batch(store_);
    const std::string base = lookup(folder);
    if (base == kNotFound || (!staleBase.empty() && base != staleBase))
        return;
    store_.deleteValue(keys::kCache, folder);
    batch.commit();
    removePair(base);
}

void CacheIndex::removePair(const std::string& base) const {
    // Only files of the cache folder are ever deleted, whatever the value says.
    const std::string prefix = cacheFolder_ + "/";
    if (base.size() <= prefix.size() || base.compare(0, prefix.size(), prefix) != 0 ||
        base.find('/', prefix.size()) != std::string::npos)
        return;
    removeAside(cacPath(base)); // may be gigabytes
    std::remove(lisPath(base).c_str());
}

} // namespace kamelo
