#pragma once

#include "iccprofile.h"

#include <QImage>

#include <atomic>
#include <memory>
#include <mutex>

namespace kamelo::imaging {
class Bitmap;
}

namespace kamelo::imaging::colour {

class FastPath;

// How colours outside the display's gamut are brought in. The values are
// the ICC intents', as they are stored in the settings.
enum class Intent { Perceptual = 0, RelativeColorimetric = 1 };

// Converts 8-bit pixels from one profile to another with lcms2. Built once
// per (source, destination, intent) and cached; safe to use from several
// threads at once.
class ColourTransform {
public:
    ~ColourTransform();
    ColourTransform(const ColourTransform&) = delete;
    ColourTransform& operator=(const ColourTransform&) = delete;

    // The transform from -> to, or null when no conversion is needed (the
    // same profile, or both sRGB-like) or lcms2 cannot build one. A null
    // from means sRGB. Cached by the profiles' keys and the intent.
    static std::shared_ptr<const ColourTransform> between(const ProfilePtr& from,
                                                          const ProfilePtr& to, Intent intent);

    // In place, over bands of rows on all cores for large pictures.
    void apply(Bitmap& bitmap) const;
    // Rows [firstRow, firstRow + rowCount) only (clipped to the picture), on
    // the calling thread: for bands as they arrive.
    void applyRows(Bitmap& bitmap, int firstRow, int rowCount) const;
    // A QImage in place: Format_RGB32, Format_ARGB32 (alpha kept; values
    // are taken as not premultiplied), Format_RGB888 and Format_BGR888;
    // other formats are first converted to Format_RGB32, or to
    // Format_ARGB32 when they have alpha (premultiplied pictures stay
    // Format_ARGB32 afterwards).
    void apply(QImage& image) const;

    const ProfilePtr& source() const { return from_; }
    const ProfilePtr& destination() const { return to_; }
    Intent intent() const { return intent_; }

private:
    ColourTransform() = default;
    friend struct ColourTransformFactory;
    // Rows of one pixel layout: 0 BGR (Bitmap, BGR888), 1 BGRA (RGB32 and
    // ARGB32 in memory on little-endian), 2 RGB (RGB888).
    void run(int layout, uint8_t* firstRow, int width, int rows, qsizetype stride) const;

    ProfilePtr from_, to_;
    Intent intent_ = Intent::Perceptual;
    // cmsHTRANSFORM per layout, made on first use.
    mutable std::atomic<void*> transforms_[3] = {nullptr, nullptr, nullptr};
    mutable std::mutex building_;
    // The quicker path for two matrix/curve profiles, when it applies.
    std::unique_ptr<FastPath> fast_;
    void* transform(int layout) const;
};

using TransformPtr = std::shared_ptr<const ColourTransform>;

} // namespace kamelo::imaging::colour
