#include "fastpath.h"

#include "matrixshaper.h"

#include <lcms2.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace kamelo::imaging::colour {

namespace {

// A 9x9x9 grid, every grey, the darkest levels of each channel and
// scattered colours that fall between any grid's nodes.
std::vector<uint8_t> testColours() {
    std::vector<uint8_t> in;
    for (int r = 0; r < 9; ++r)
        for (int g = 0; g < 9; ++g)
            for (int b = 0; b < 9; ++b)
                for (int c : {r, g, b})
                    in.push_back(uint8_t(std::min(255, c * 32)));
    for (int v = 0; v < 256; ++v)
        in.insert(in.end(), 3, uint8_t(v));
    for (int v = 1; v < 16; ++v)
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k)
                in.push_back(k == c ? uint8_t(v) : 0);
    uint32_t seed = 2166136261u;
    for (int i = 0; i < 3 * 2048; ++i) {
        seed = seed * 1664525u + 1013904223u;
        in.push_back(uint8_t(seed >> 24));
    }
    return in;
}

} // namespace

bool FastPath::agreesWithLcms(const FastPath& path, void* from, void* to, int intent) {
    static const std::vector<uint8_t> colours = testColours();
    cmsHTRANSFORM t = cmsCreateTransform(
        static_cast<cmsHPROFILE>(from), TYPE_RGB_8, static_cast<cmsHPROFILE>(to), TYPE_RGB_8,
        cmsUInt32Number(intent), cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE);
    if (!t)
        return false;
    const int n = int(colours.size() / 3);
    std::vector<uint8_t> expected(colours.size()), ours = colours;
    cmsDoTransform(t, colours.data(), expected.data(), cmsUInt32Number(n));
    cmsDeleteTransform(t);
    path.run(2, ours.data(), n, 1, ptrdiff_t(ours.size()));
    for (size_t i = 0; i < ours.size(); ++i)
        if (std::abs(int(ours[i]) - int(expected[i])) > 1)
            return false;
    return true;
}

std::unique_ptr<FastPath> FastPath::make(void* from, void* to, int intent) {
    if (intent != INTENT_PERCEPTUAL && intent != INTENT_RELATIVE_COLORIMETRIC)
        return nullptr;
    // A 3D grid for profiles with lookup tables was tried and left out: in
    // 8-bit encoded values it strays by several levels near black and at
    // the gamut's edges, so lcms2 converts those.
    std::unique_ptr<FastPath> path = MatrixShaper::make(from, to, intent);
    if (path && !agreesWithLcms(*path, from, to, intent))
        path.reset();
    return path;
}

} // namespace kamelo::imaging::colour
