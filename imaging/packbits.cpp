#include "packbits.h"

#include <algorithm>
#include <cstring>

namespace kamelo::imaging::packbits {

size_t decode(const uint8_t* src, size_t srcSize, uint8_t* out, size_t want, bool* complete) {
    size_t in = 0, produced = 0;
    while (produced < want && in < srcSize) {
        const int8_t n = static_cast<int8_t>(src[in++]);
        if (n >= 0) {
            // A literal packet of n + 1 bytes, consumed whole even when the
            // output needs fewer.
            const size_t take = std::min<size_t>(static_cast<size_t>(n) + 1, srcSize - in);
            const size_t count = std::min(take, want - produced);
            std::memcpy(out + produced, src + in, count);
            produced += count;
            in += take;
        } else if (n != -128) {
            if (in >= srcSize)
                break;
            const uint8_t value = src[in++];
            const size_t count = std::min<size_t>(static_cast<size_t>(1 - n), want - produced);
            std::memset(out + produced, value, count);
            produced += count;
        }
    }
    if (complete)
        *complete = produced == want;
    return in;
}

void encode(const uint8_t* src, size_t size, std::vector<uint8_t>& out) {
    size_t i = 0;
    while (i < size) {
        // A run of at least 3 equal bytes is worth a repeat packet.
        size_t run = 1;
        while (i + run < size && run < 128 && src[i + run] == src[i])
            ++run;
        if (run >= 3) {
            out.push_back(static_cast<uint8_t>(257 - run));
            out.push_back(src[i]);
            i += run;
            continue;
        }
        size_t start = i, lit = 0;
        while (i < size && lit < 128) {
            if (i + 2 < size && src[i] == src[i + 1] && src[i] == src[i + 2])
                break;
            ++i;
            ++lit;
        }
        out.push_back(static_cast<uint8_t>(lit - 1));
        out.insert(out.end(), src + start, src + start + lit);
    }
}

} // namespace kamelo::imaging::packbits
