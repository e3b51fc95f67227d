#include "magickmodule.h"

#include "imaging/result.h"

#include <Magick++.h>

#include <algorithm>
#include <mutex>
#include <type_traits>
#include <vector>

namespace {

namespace result = kamelo::imaging::result;

void initialise(int64_t maxPixels) {
    static std::once_flag once;
    std::call_once(once, [maxPixels] {
        Magick::InitializeMagick(nullptr);
        // A forged header must not make the library allocate gigabytes.
        MagickLib::SetMagickResourceLimit(MagickLib::PixelsResource,
                                          static_cast<MagickLib::magick_int64_t>(maxPixels));
    });
}

// Runs a library call, mapping its exceptions to result codes. Warnings are
// harmless except those saying the picture itself is damaged.
template <typename Fn> int guarded(Fn&& fn) {
    try {
        fn();
        return result::kSuccess;
    } catch (const Magick::WarningCorruptImage&) {
        return result::kCorruptData;
    } catch (const Magick::Warning&) {
        return result::kSuccess;
    } catch (const Magick::ErrorResourceLimit&) {
        return result::kTooLarge;
    } catch (const Magick::ErrorMissingDelegate&) {
        return result::kUnsupported;
    } catch (const Magick::ErrorCorruptImage&) {
        return result::kCorruptData;
    } catch (const Magick::Exception&) {
        return result::kCorruptData;
    } catch (const std::bad_alloc&) {
        return result::kNoMemory;
    } catch (const std::exception&) {
        return result::kCorruptData;
    }
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int kamelo_magick_ping(const uint8_t* data, size_t size,
                                                              const char* name, unsigned subImage,
                                                              int ranged, int64_t maxPixels,
                                                              int* width, int* height) {
    initialise(maxPixels);
    Magick::Image image;
    const int rc = guarded([&] {
        image.magick(name);
        if (ranged) {
            image.subImage(subImage);
            image.subRange(1);
        }
        image.ping(Magick::Blob(data, size));
        *width = static_cast<int>(image.columns());
        *height = static_cast<int>(image.rows());
    });
    return rc;
}

__attribute__((visibility("default"))) int kamelo_magick_decode(const uint8_t* data, size_t size,
                                                                const char* name, unsigned subImage,
                                                                int64_t maxPixels,
                                                                const KameloMagickSink* sink) {
    initialise(maxPixels);
    Magick::Image image;
    int rc = guarded([&] {
        image.magick(name);
        image.subImage(subImage);
        image.subRange(1);
        image.read(Magick::Blob(data, size));
    });
    if (rc < 1)
        return rc;
    const int w = static_cast<int>(image.columns()), h = static_cast<int>(image.rows());
    if (w <= 0 || h <= 0)
        return result::kCorruptData;
    const bool alpha = image.matte();
    int xDpi = 0, yDpi = 0;
    rc = guarded([&] {
        const Magick::Geometry density = image.density();
        if (density.width() > 0 && density.height() > 0) {
            const double f =
                image.resolutionUnits() == Magick::PixelsPerCentimeterResolution ? 2.54 : 1.0;
            xDpi = static_cast<int>(density.width() * f + 0.5);
            yDpi = static_cast<int>(density.height() * f + 0.5);
        }
    });
    if (rc < 1)
        return rc;
    rc = sink->start(sink->context, w, h, alpha ? 1 : 0, xDpi, yDpi);
    if (rc < 1)
        return rc;
    return guarded([&] {
        std::vector<uint8_t> row(static_cast<size_t>(w) * (alpha ? 4 : 3));
        for (int y = 0; y < h; ++y) {
            image.write(0, y, static_cast<unsigned>(w), 1, alpha ? "RGBA" : "BGR",
                        Magick::CharPixel, row.data());
            sink->row(sink->context, y, row.data());
        }
    });
}

__attribute__((visibility("default"))) int kamelo_magick_encode(const uint8_t* bgr, int width,
                                                                int height, int xDpi, int yDpi,
                                                                const char* name,
                                                                const KameloMagickOutput* output) {
    initialise(int64_t(1) << 28);
    Magick::Blob blob;
    const int rc = guarded([&] {
        Magick::Image image(static_cast<unsigned>(width), static_cast<unsigned>(height), "BGR",
                            Magick::CharPixel, bgr);
        image.depth(8);
        image.resolutionUnits(Magick::PixelsPerInchResolution);
        image.density(Magick::Geometry(static_cast<unsigned>(std::max(1, xDpi)),
                                       static_cast<unsigned>(std::max(1, yDpi))));
        image.magick(name);
        image.write(&blob);
    });
    if (rc < 1)
        return result::kFileWrite;
    const auto* data = static_cast<const uint8_t*>(blob.data());
    if (!data || blob.length() == 0)
        return result::kFileWrite;
    return output->take(output->context, data, blob.length());
}

} // extern "C"

// The loader checks that the functions have the types it calls them by.
static_assert(std::is_same_v<decltype(&kamelo_magick_ping), KameloMagickPing>);
static_assert(std::is_same_v<decltype(&kamelo_magick_decode), KameloMagickDecode>);
static_assert(std::is_same_v<decltype(&kamelo_magick_encode), KameloMagickEncode>);
