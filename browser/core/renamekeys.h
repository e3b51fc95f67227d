#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace kamelo {

// Names as the batch rename compares them: byte for byte, or with ASCII
// letters folded on a folder that ignores case. A keystroke of the live
// preview hashes every new name, so nothing here allocates.
namespace renamekeys {

inline char fold(char c, bool foldCase) {
    return foldCase && c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Spreads every input bit over the whole word (the low bits pick a slot).
inline uint64_t mix(uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return h;
}

// Eight bytes at a time with every ASCII capital made small: the same
// as fold() on each byte.
inline uint64_t foldWord(uint64_t w) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHigh = kOnes * 0x80;
    const uint64_t low = w & ~kHigh;                       // each byte below 0x80: no carries
    const uint64_t fromA = low + kOnes * (0x80 - 'A');     // high bit: at least 'A'
    const uint64_t pastZ = low + kOnes * (0x80 - 'Z' - 1); // high bit: past 'Z'
    const uint64_t capital = fromA & ~pastZ & ~w & kHigh;
    return w | capital >> 2; // 0x80 >> 2 is the 0x20 between the cases
}

inline uint64_t word(const char* p, size_t n) {
    uint64_t w = 0;
    std::memcpy(&w, p, n);
    return w;
}

// Equal for names that compare equal below.
inline uint64_t hash(std::string_view name, bool foldCase) {
    uint64_t h = 0x9E3779B97F4A7C15ull ^ name.size();
    for (size_t at = 0; at < name.size(); at += 8) {
        uint64_t w = word(name.data() + at, std::min<size_t>(8, name.size() - at));
        if (foldCase)
            w = foldWord(w);
        h = (h ^ w) * 0xff51afd7ed558ccdull;
        h ^= h >> 32;
    }
    return mix(h);
}

// A name's hash within one of several folders.
inline uint64_t inFolder(uint64_t nameHash, uint32_t folder) {
    return mix(nameHash + (uint64_t(folder) + 1) * 0x9E3779B97F4A7C15ull);
}

// Each side folded as its own folder does.
inline bool same(std::string_view a, bool foldA, std::string_view b, bool foldB) {
    if (a.size() != b.size())
        return false;
    if (!foldA && !foldB)
        return a == b;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i], foldA) != fold(b[i], foldB))
            return false;
    return true;
}

// Open addressing over numbers (rows, listed names): the caller hashes and
// compares, the table keeps only each number and a part of its hash. Room
// is set once for a known count, so it never grows or rehashes.
class IdTable {
public:
    static constexpr uint32_t kNone = UINT32_MAX;

    // Empties the table and makes room for count numbers (each below kNone).
    void reset(size_t count) {
        size_t capacity = 16;
        while (capacity < count * 2)
            capacity *= 2;
        slots_.assign(capacity, 0);
        mask_ = capacity - 1;
        held_ = 0;
    }

    // Asks for the hash's first slot ahead of use: a pass over many keys
    // otherwise waits on memory at each one.
    void prefetch(uint64_t hash) const {
        if (!slots_.empty())
            __builtin_prefetch(&slots_[size_t(hash) & mask_]);
    }

    // The number held under a key that same(held) finds equal, or kNone.
    template <class Same> uint32_t find(uint64_t hash, Same&& same) const {
        if (slots_.empty())
            return kNone;
        const uint32_t tag = uint32_t(hash >> 32);
        for (size_t at = size_t(hash) & mask_, probes = 0; probes <= mask_;
             at = (at + 1) & mask_, ++probes) {
            const uint64_t slot = slots_[at];
            if (slot == 0)
                return kNone;
            if (uint32_t(slot >> 32) == tag && same(uint32_t(slot) - 1))
                return uint32_t(slot) - 1;
        }
        return kNone;
    }

    // The number already held under an equal key, or id once added (kNone
    // when the table is full).
    template <class Same> uint32_t insert(uint64_t hash, uint32_t id, Same&& same) {
        if (slots_.empty() || id == kNone)
            return kNone;
        const uint32_t tag = uint32_t(hash >> 32);
        for (size_t at = size_t(hash) & mask_, probes = 0; probes <= mask_;
             at = (at + 1) & mask_, ++probes) {
            const uint64_t slot = slots_[at];
            if (slot == 0) {
                if (held_ + 1 >= slots_.size())
                    return kNone; // one slot stays empty: every search ends
                slots_[at] = uint64_t(tag) << 32 | (uint64_t(id) + 1);
                ++held_;
                return id;
            }
            if (uint32_t(slot >> 32) == tag && same(uint32_t(slot) - 1))
                return uint32_t(slot) - 1;
        }
        return kNone;
    }

private:
    std::vector<uint64_t> slots_; // 0 empty, else hash tag << 32 | (number + 1)
    size_t mask_ = 0;
    size_t held_ = 0;
};

} // namespace renamekeys
} // namespace kamelo
