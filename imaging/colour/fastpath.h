#pragma once

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

namespace kamelo::imaging::colour {

// An 8-bit conversion quicker than lcms2's own, with lcms2's results: it
// is used only when, on a set of test colours, it stays within one level of
// lcms2's unoptimised conversion, or no further off than lcms2's own 8-bit
// path.
class FastPath {
public:
    virtual ~FastPath() = default;
    // In place over rows of pixels: layout 0 B,G,R; 1 B,G,R,A (alpha kept,
    // QImage's 32-bit formats in memory); 2 R,G,B.
    virtual void run(int layout, uint8_t* firstRow, int width, int rows,
                     ptrdiff_t stride) const = 0;

    // Matrix and curve tables for two matrix/curve profiles, otherwise a
    // 3D grid; null when neither agrees with lcms2. from and to are
    // cmsHPROFILE handles; the caller holds lcmsLock().
    static std::unique_ptr<FastPath> make(void* from, void* to, int intent);

protected:
    static bool agreesWithLcms(const FastPath& path, void* from, void* to, int intent);
};

// Calls convert(bytes, red, green, blue, row, width) for each row, with the
// pixel's size and its channels' places as compile-time constants for the
// layout, so each layout gets its own loop.
template <class Convert>
void forEachRow(int layout, uint8_t* firstRow, int width, int rows, ptrdiff_t stride,
                const Convert& convert) {
    using std::integral_constant;
    for (int y = 0; y < rows; ++y) {
        uint8_t* row = firstRow + stride * y;
        switch (layout) {
        case 0:
            convert(integral_constant<int, 3>{}, integral_constant<int, 2>{},
                    integral_constant<int, 1>{}, integral_constant<int, 0>{}, row, width);
            break;
        case 1:
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN || !defined(Q_BYTE_ORDER)
            convert(integral_constant<int, 4>{}, integral_constant<int, 2>{},
                    integral_constant<int, 1>{}, integral_constant<int, 0>{}, row, width);
#else
            convert(integral_constant<int, 4>{}, integral_constant<int, 1>{},
                    integral_constant<int, 2>{}, integral_constant<int, 3>{}, row, width);
#endif
            break;
        default:
            convert(integral_constant<int, 3>{}, integral_constant<int, 0>{},
                    integral_constant<int, 1>{}, integral_constant<int, 2>{}, row, width);
            break;
        }
    }
}

} // namespace kamelo::imaging::colour
