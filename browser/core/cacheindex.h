#pragma once

#include <string>

namespace kamelo {

class SettingsStore;

// The index of the folder cache in the settings store (section "cache"):
// one string value per cached folder naming its pair of files, and the
// running number of the next pair.
class CacheIndex {
public:
    static constexpr const char* kNotFound = "NotFound";
    // The highest running number. A stored count beyond it (or below 0) was
    // never written by the program: the index is damaged and the cache is
    // emptied, so the count restarts at 0 instead of overflowing.
    static constexpr int kMaxNumber = 1000000;

    CacheIndex(SettingsStore& store, std::string cacheFolder);

    // The cache base of a folder, or "NotFound".
    std::string lookup(const std::string& folder) const;
    // The number of the next pair, 0..kMaxNumber; a damaged count empties
    // the cache (files and index) first.
    int nextNumber();
    // cache folder + "/" + n: the pair's path without its extension.
    std::string cacheBase(int number) const;
    // Records the folder's new pair and moves the running number past it.
    // False for a number outside 0..kMaxNumber.
    bool record(const std::string& folder, const std::string& cacheBase, int number);
    // Forgets a folder whose pair no longer fits it: its value and both files.
    void removeStale(const std::string& folder);
    // Every pair holds thumbnails made under one orientation rule (turned
    // upright or as stored). When the rule asked for is another, the whole
    // cache is emptied and the new rule recorded; true when it was emptied.
    // A cache without a record was made before pictures were turned.
    bool keepOnlyOrientationRule(bool upright);
    // The recorded rule: 1 upright, 0 as stored.
    int orientationRule() const;

    const std::string& folder() const { return cacheFolder_; }
    static std::string cacPath(const std::string& base) { return base + ".cac"; }
    static std::string lisPath(const std::string& base) { return base + ".lis"; }

private:
    SettingsStore& store_;
    std::string cacheFolder_;
};

} // namespace kamelo
