#pragma once

#include <string>

namespace kamelo {

class SettingsStore;

// Emptying the on-disk thumbnail cache together with its index in the
// settings store, so the two never disagree.
class ThumbCacheReset {
public:
    // Deletes every file of the cache folder, re-creates it empty and removes
    // the index sub-key. Files that cannot be deleted and a missing sub-key are
    // ignored.
    static void clear(SettingsStore& store, const std::string& cacheFolder);

    // At start-up: clears the cache unless "Cache File Version" is the current
    // format. Returns true when it cleared.
    static bool clearIfStale(SettingsStore& store, const std::string& cacheFolder);
};

} // namespace kamelo
