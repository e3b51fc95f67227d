#pragma once

#include "memorybudget.h"
#include "prefault.h"

#include <QImage>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace kamelo::imaging {

namespace colour {
class IccProfile;
}

// Pixel memory that is not cleared when it is allocated: decoders write
// every byte anyway, and clearing 70 MB costs as much as decoding it.
inline constexpr size_t kHugePage = size_t(2) << 20;
inline constexpr size_t kHugeThreshold = size_t(8) << 20;
void adviseHugePages(void* p, size_t bytes);

template <class T> struct UninitialisedAllocator : std::allocator<T> {
    template <class U> struct rebind { using other = UninitialisedAllocator<U>; };
    UninitialisedAllocator() = default;
    template <class U> UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    // Large pictures ask for huge pages: faulting in 70 MB page by page
    // costs as much as decoding it.
    T* allocate(size_t n) {
        const size_t bytes = n * sizeof(T);
        if (bytes < kHugeThreshold)
            return std::allocator<T>::allocate(n);
        const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        // Huge pictures count against the process's budget (memorybudget.h).
        void* p = memorybudget::allocate(rounded, kHugePage);
        if (!p)
            throw std::bad_alloc();
        adviseHugePages(p, rounded);
        prefault::start(p, bytes);
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t n) {
        if (n * sizeof(T) < kHugeThreshold)
            std::allocator<T>::deallocate(p, n);
        else {
            prefault::finish(p);
            memorybudget::deallocate(p);
        }
    }
    template <class U, class... Args> void construct(U* p, Args&&... args) {
        if constexpr (sizeof...(Args) == 0)
            ::new (static_cast<void*>(p)) U;
        else
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using PixelBuffer = std::vector<uint8_t, UninitialisedAllocator<uint8_t>>;

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
};

// A picture in memory: 24-bit blue-green-red pixels, rows top-down, each row
// padded to a multiple of 4 bytes. Whatever the file held, pixels are kept at
// 24 bits; the file's own depth is remembered in sourceBitsPerPixel.
// Pictures with transparency are flattened onto white when they are loaded,
// so callers that paint or save at 24 bits see what a viewer on a white page
// would show.
class Bitmap {
public:
    Bitmap() = default;
    Bitmap(const Bitmap& other) = default;
    Bitmap& operator=(const Bitmap& other) = default;
    Bitmap(Bitmap&&) noexcept = default;
    Bitmap& operator=(Bitmap&&) noexcept = default;

    // Allocates a w x h picture filled with the given colour (0x00RRGGBB).
    // Returns 1, or an error code for a size that is zero, negative or too large.
    int create(int width, int height, uint32_t fillRgb = 0xFFFFFF);
    // The same without filling: for writers that set every pixel themselves.
    int allocate(int width, int height);
    void free();
    bool isAllocated() const { return !pixels_.empty(); }

    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return stride_; }
    static int strideFor(int width) { return (width * 3 + 3) & ~3; }

    uint8_t* row(int y) { return pixels_.data() + static_cast<size_t>(y) * stride_; }
    const uint8_t* row(int y) const { return pixels_.data() + static_cast<size_t>(y) * stride_; }
    uint8_t* bits() { return pixels_.data(); }
    const uint8_t* bits() const { return pixels_.data(); }
    size_t byteCount() const { return pixels_.size(); }

    // 0x00RRGGBB of one pixel; no bounds check.
    uint32_t pixel(int x, int y) const {
        const uint8_t* p = row(y) + x * 3;
        return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    void setPixel(int x, int y, uint32_t rgb) {
        uint8_t* p = row(y) + x * 3;
        p[0] = uint8_t(rgb);
        p[1] = uint8_t(rgb >> 8);
        p[2] = uint8_t(rgb >> 16);
    }

    int sourceBitsPerPixel() const { return sourceBits_; }
    void setSourceBitsPerPixel(int bits) { sourceBits_ = bits; }
    int xResolution() const { return xRes_; }
    int yResolution() const { return yRes_; }
    void setResolution(int x, int y) {
        xRes_ = x;
        yRes_ = y;
    }
    // The file's palette (0x00RRGGBB entries) when it had one.
    const std::vector<uint32_t>& palette() const { return palette_; }
    void setPalette(std::vector<uint32_t> palette) { palette_ = std::move(palette); }
    // The colour space of the pixels as the file declared it; null for sRGB.
    // Set by the reader; operations that make a new picture leave it to
    // their caller, which knows the picture's profile.
    const std::shared_ptr<const colour::IccProfile>& colourProfile() const { return profile_; }
    void setColourProfile(std::shared_ptr<const colour::IccProfile> profile) {
        profile_ = std::move(profile);
    }

    // A view of the pixels for painting; valid while this bitmap is unchanged.
    QImage view() const;
    // A deep copy from any QImage, flattened onto white.
    static Bitmap fromImage(const QImage& image);

    // Exchanges contents, for operations that build a new picture.
    void swap(Bitmap& other) noexcept;

private:
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    int sourceBits_ = 24;
    int xRes_ = 96;
    int yRes_ = 96;
    PixelBuffer pixels_;
    std::vector<uint32_t> palette_;
    std::shared_ptr<const colour::IccProfile> profile_;
};

// Two bitmaps of the same size with every pixel alike (the padding at the
// end of a row is not part of the picture).
bool samePixels(const Bitmap& a, const Bitmap& b);

// The largest picture the module allocates: 2^28 pixels (16384 x 16384),
// so that a forged header cannot ask for gigabytes.
inline constexpr int64_t kMaxPixels = int64_t(1) << 28;

// Blends a colour channel with alpha over white.
inline uint8_t overWhite(unsigned value, unsigned alpha) {
    return static_cast<uint8_t>((value * alpha + 255u * (255u - alpha) + 127u) / 255u);
}

// An RGBA row as the BGR a Bitmap holds, laid over white.
inline void rgbaRowToBgr(const uint8_t* src, uint8_t* dst, int width) {
    for (int x = 0; x < width; ++x, src += 4, dst += 3) {
        dst[0] = overWhite(src[2], src[3]);
        dst[1] = overWhite(src[1], src[3]);
        dst[2] = overWhite(src[0], src[3]);
    }
}

} // namespace kamelo::imaging
