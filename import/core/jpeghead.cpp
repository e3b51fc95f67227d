#include "jpeghead.h"

#include <algorithm>

namespace kamelo::acquire {

size_t jpegHeadBytes(const uint8_t* data, size_t have, size_t limit) {
    if (have < 2)
        return have == 0 || data[0] == 0xFF ? std::min<size_t>(2, limit) : 0;
    if (data[0] != 0xFF || data[1] != 0xD8)
        return 0;
    size_t pos = 2;
    for (;;) {
        // A marker and its length.
        if (pos + 4 > have)
            return std::min(pos + 4, limit);
        if (data[pos] != 0xFF)
            return pos; // damaged: what came before is all there is to read
        const uint8_t marker = data[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            pos += 2;
            continue;
        }
        const size_t end = pos + 2 + (size_t(data[pos + 2]) << 8 | data[pos + 3]);
        if (marker == 0xD9)
            return pos + 2;
        if (end > have || marker == 0xDA)
            return std::min(end, limit);
        pos = end;
    }
}

} // namespace kamelo::acquire
