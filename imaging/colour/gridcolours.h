#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kamelo::imaging::colour {

// R,G,B triples of a 9x9x9 grid and every grey: the colours a conversion
// is judged on.
inline std::vector<uint8_t> gridAndGreys() {
    std::vector<uint8_t> in;
    in.reserve((729 + 256) * 3);
    for (int r = 0; r < 9; ++r)
        for (int g = 0; g < 9; ++g)
            for (int b = 0; b < 9; ++b)
                for (int c : {r, g, b})
                    in.push_back(uint8_t(std::min(255, c * 32)));
    for (int v = 0; v < 256; ++v)
        in.insert(in.end(), 3, uint8_t(v));
    return in;
}

} // namespace kamelo::imaging::colour
