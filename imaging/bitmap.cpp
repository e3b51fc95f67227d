#include "bitmap.h"

#include "result.h"

#include <cstring>
#include <new>
#include <sys/mman.h>

namespace kamelo::imaging {

void adviseHugePages(void* p, size_t bytes) {
    ::madvise(p, bytes, MADV_HUGEPAGE); // a hint; without it pages are just smaller
}

int Bitmap::allocate(int width, int height) {
    if (width <= 0 || height <= 0)
        return result::kInvalidParameter;
    if (int64_t(width) * height > kMaxPixels)
        return result::kTooLarge;
    const int stride = strideFor(width);
    PixelBuffer pixels;
    try {
        pixels.resize(static_cast<size_t>(stride) * height);
    } catch (const std::bad_alloc&) {
        return result::kNoMemory;
    }
    width_ = width;
    height_ = height;
    stride_ = stride;
    pixels_ = std::move(pixels);
    palette_.clear();
    sourceBits_ = 24;
    return result::kSuccess;
}

int Bitmap::create(int width, int height, uint32_t fillRgb) {
    if (const int rc = allocate(width, height); rc != result::kSuccess)
        return rc;
    const uint8_t b = uint8_t(fillRgb), g = uint8_t(fillRgb >> 8), r = uint8_t(fillRgb >> 16);
    if (b == g && g == r) {
        std::fill(pixels_.begin(), pixels_.end(), b);
    } else {
        for (int y = 0; y < height_; ++y) {
            uint8_t* p = row(y);
            for (int x = 0; x < width_; ++x, p += 3) {
                p[0] = b;
                p[1] = g;
                p[2] = r;
            }
        }
    }
    return result::kSuccess;
}

void Bitmap::free() {
    width_ = height_ = stride_ = 0;
    sourceBits_ = 24;
    pixels_.clear();
    pixels_.shrink_to_fit();
    palette_.clear();
    profile_.reset();
}

QImage Bitmap::view() const {
    if (!isAllocated())
        return {};
    return QImage(pixels_.data(), width_, height_, stride_, QImage::Format_BGR888);
}

Bitmap Bitmap::fromImage(const QImage& image) {
    Bitmap b;
    if (image.isNull() || b.create(image.width(), image.height()) != result::kSuccess)
        return b;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < b.height(); ++y) {
        const QRgb* src = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        uint8_t* dst = b.row(y);
        for (int x = 0; x < b.width(); ++x, dst += 3) {
            const unsigned a = qAlpha(src[x]);
            dst[0] = overWhite(qBlue(src[x]), a);
            dst[1] = overWhite(qGreen(src[x]), a);
            dst[2] = overWhite(qRed(src[x]), a);
        }
    }
    b.setResolution(image.dotsPerMeterX() > 0 ? qRound(image.dotsPerMeterX() * 0.0254) : 96,
                    image.dotsPerMeterY() > 0 ? qRound(image.dotsPerMeterY() * 0.0254) : 96);
    return b;
}

void Bitmap::swap(Bitmap& o) noexcept {
    std::swap(width_, o.width_);
    std::swap(height_, o.height_);
    std::swap(stride_, o.stride_);
    std::swap(sourceBits_, o.sourceBits_);
    std::swap(xRes_, o.xRes_);
    std::swap(yRes_, o.yRes_);
    pixels_.swap(o.pixels_);
    palette_.swap(o.palette_);
    profile_.swap(o.profile_);
}

bool samePixels(const Bitmap& a, const Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.row(y), b.row(y), size_t(a.width()) * 3) != 0)
            return false;
    return true;
}

} // namespace kamelo::imaging
