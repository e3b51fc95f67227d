#pragma once

#include "fastpath.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kamelo::imaging::colour {

// Any conversion lcms2 can make, sampled once on a 33x33x33 grid and
// interpolated between the four nearest nodes (tetrahedral): for profiles
// with lookup tables (calibrated displays, scanners), where lcms2's own
// 8-bit path is slow and strays several levels from its exact result. The
// grid is spaced evenly in linear light on both sides (by the profiles' own
// curves, else sRGB's), where conversions are nearly straight, and nodes
// are not clipped, so that clipping at the gamut's edge happens after
// interpolating.
class GridTransform : public FastPath {
public:
    static std::unique_ptr<GridTransform> make(void* from, void* to, int intent);

    void run(int layout, uint8_t* firstRow, int width, int rows, ptrdiff_t stride) const override;

    static constexpr int kNodes = 33;
    static constexpr uint32_t kStrideB = 1, kStrideG = kNodes, kStrideR = kNodes * kNodes;
    static constexpr int kOutSteps = 65536;

    // Output R, G, B of each node in linear steps of the output tables
    // (the fourth lane unused), blue varying fastest.
    struct alignas(16) Node {
        float v[4];
    };
    std::vector<Node> nodes;
    // For each 8-bit level of R, G, B: the index step of the cell's first
    // node along that axis and the weight of the next node, 0..1.
    uint32_t offset[3][256];
    float weight[3][256];
    // The output level of each linear step, per channel.
    std::vector<uint8_t> out[3];
};

} // namespace kamelo::imaging::colour
