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
    // Takes the number of a new pair under the index's lock: the running
    // number is read again once locked and moved past the one taken, so two
    // programs saving at once never write the same pair. -1 when the store
    // cannot be written.
    int reserveNumber();
    // cache folder + "/" + n: the pair's path without its extension.
    std::string cacheBase(int number) const;
    // Points the folder's entry at its new pair (under the lock, the running
    // number moved past it) and deletes the two files of the pair the entry
    // named before. False for a number outside 0..kMaxNumber, or when the
    // store could not be written (the old pair then stays).
    bool record(const std::string& folder, const std::string& cacheBase, int number);
    // Forgets a folder whose pair no longer fits it: its value and both files.
    // Given the pair found stale, nothing is done when the entry names
    // another one by now (another program saved the folder meanwhile).
    void removeStale(const std::string& folder, const std::string& staleBase = {});
    // Deletes both files of a pair of the cache folder (nothing elsewhere).
    void removePair(const std::string& cacheBase) const;
    // Every pair holds thumbnails made under one orientation rule (turned
    // upright or as stored). When the rule asked for is another, the whole
    // cache is emptied and the new rule recorded; true when it was emptied.
    // A cache without a record was made before pictures were turned.
    // The colour rule recorded is kept.
    bool keepOnlyOrientationRule(bool upright);
    // The recorded rule: 1 upright, 0 as stored.
    int orientationRule() const;
    // The same for how the thumbnails' colours were made (0 the pictures'
    // own values, else 1 + the rendering intent of their conversion to
    // sRGB); the orientation rule recorded is kept. A cache without a
    // record was made before colours were converted.
    bool keepOnlyColourRule(int colour);
    int colourRule() const;
    // Both at once: the cache is emptied when either differs, and both are
    // recorded.
    bool keepOnlyRules(bool upright, int colour);

    const std::string& folder() const { return cacheFolder_; }
    static std::string cacPath(const std::string& base) { return base + ".cac"; }
    static std::string lisPath(const std::string& base) { return base + ".lis"; }

private:
    SettingsStore& store_;
    std::string cacheFolder_;
};

} // namespace kamelo
