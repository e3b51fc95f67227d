#include "fastpath.h"
#include "gridcolours.h"

#include "gridtransform.h"
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
    std::vector<uint8_t> in = gridAndGreys();
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

int largestDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    int largest = 0;
    for (size_t i = 0; i < a.size(); ++i)
        largest = std::max(largest, std::abs(int(a[i]) - int(b[i])));
    return largest;
}

} // namespace

bool FastPath::agreesWithLcms(const FastPath& path, void* from, void* to, int intent) {
    static const std::vector<uint8_t> colours = testColours();
    const auto convert = [&](cmsUInt32Number flags, std::vector<uint8_t>& out) {
        cmsHTRANSFORM t = cmsCreateTransform(static_cast<cmsHPROFILE>(from), TYPE_RGB_8,
                                             static_cast<cmsHPROFILE>(to), TYPE_RGB_8,
                                             cmsUInt32Number(intent), flags | cmsFLAGS_NOCACHE);
        if (!t)
            return false;
        out.resize(colours.size());
        cmsDoTransform(t, colours.data(), out.data(), cmsUInt32Number(colours.size() / 3));
        cmsDeleteTransform(t);
        return true;
    };
    std::vector<uint8_t> exact, lcmsOwn, ours = colours;
    if (!convert(cmsFLAGS_NOOPTIMIZE, exact))
        return false;
    path.run(2, ours.data(), int(ours.size() / 3), 1, ptrdiff_t(ours.size()));
    // Within one level, or no further off than lcms2's own 8-bit path,
    // which is what would convert otherwise (built only when needed: that
    // takes a while).
    const int ourLargest = largestDifference(ours, exact);
    return ourLargest <= 1 ||
           (convert(0, lcmsOwn) && ourLargest <= largestDifference(lcmsOwn, exact));
}

std::unique_ptr<FastPath> FastPath::make(void* from, void* to, int intent) {
    if (intent != INTENT_PERCEPTUAL && intent != INTENT_RELATIVE_COLORIMETRIC)
        return nullptr;
    std::unique_ptr<FastPath> path = MatrixShaper::make(from, to, intent);
    if (!path)
        path = GridTransform::make(from, to, intent);
    if (path && !agreesWithLcms(*path, from, to, intent))
        path.reset();
    return path;
}

} // namespace kamelo::imaging::colour
