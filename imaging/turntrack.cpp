#include "turntrack.h"

#include <cstring>

namespace kamelo::imaging {

uint64_t TurnTrack::hash(const Bitmap& picture) {
    // 64-bit words mixed by multiply and rotate: fast over 70 MB, and a
    // collision between two different edits of one picture is not a concern.
    uint64_t h = 0x9E3779B97F4A7C15ull ^ (uint64_t(uint32_t(picture.width())) << 32) ^
                 uint32_t(picture.height());
    const size_t rowBytes = size_t(picture.width()) * 3;
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* p = picture.row(y);
        size_t i = 0;
        for (; i + 8 <= rowBytes; i += 8) {
            uint64_t w = 0;
            std::memcpy(&w, p + i, 8);
            h = (h ^ w) * 0xFF51AFD7ED558CCDull;
            h = (h << 29) | (h >> 35);
        }
        uint64_t tail = 0;
        std::memcpy(&tail, p + i, rowBytes - i);
        h = ((h ^ tail) * 0xC4CEB9FE1A85EC53ull) + uint64_t(y);
    }
    return h ^ (h >> 31);
}

void TurnTrack::note(const Bitmap& picture, PlaneTurn fromFile) {
    if (!picture.isAllocated())
        return;
    const uint64_t h = hash(picture);
    for (auto& k : known_)
        if (k.first == h) {
            k.second = fromFile;
            return;
        }
    if (known_.size() == kKept)
        known_.erase(known_.begin());
    known_.emplace_back(h, fromFile);
}

std::optional<PlaneTurn> TurnTrack::turnOf(const Bitmap& picture) const {
    if (known_.empty() || !picture.isAllocated())
        return std::nullopt;
    const uint64_t h = hash(picture);
    for (const auto& k : known_)
        if (k.first == h)
            return k.second;
    return std::nullopt;
}

} // namespace kamelo::imaging
