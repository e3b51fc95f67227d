#include "contentsum.h"

#include <cstring>

namespace kamelo::acquire {

namespace {
constexpr uint64_t kPrime1 = 0x9FB21C651E98DF25ull;
constexpr uint64_t kPrime2 = 0xFF51AFD7ED558CCDull;

uint64_t rotl(uint64_t v, int n) {
    return (v << n) | (v >> (64 - n));
}
} // namespace

// Two lanes so that a swapped pair of words changes the sum.
void ContentSum::mix(uint64_t word) {
    a_ = rotl((a_ ^ word) * kPrime1, 29);
    b_ = rotl(b_ + word * kPrime2, 31) ^ a_;
}

void ContentSum::add(const uint8_t* data, size_t size) {
    bytes_ += size;
    while (carried_ != 0 && size != 0) {
        carry_[carried_++] = *data++;
        --size;
        if (carried_ == 8) {
            uint64_t w;
            std::memcpy(&w, carry_, 8);
            mix(w);
            carried_ = 0;
        }
    }
    if (carried_ != 0)
        return; // every byte went into the unfinished word
    while (size >= 8) {
        uint64_t w;
        std::memcpy(&w, data, 8);
        mix(w);
        data += 8;
        size -= 8;
    }
    std::memcpy(carry_, data, size);
    carried_ = size;
}

uint64_t ContentSum::value() const {
    uint64_t tail = 0;
    std::memcpy(&tail, carry_, carried_);
    uint64_t h = a_ ^ rotl(b_, 17) ^ (tail * kPrime2) ^ (bytes_ * kPrime1);
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    return h;
}

} // namespace kamelo::acquire
