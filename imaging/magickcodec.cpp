#include "magickcodec.h"

#include "bitmap.h"
#include "result.h"

#include <Magick++.h>

#include <mutex>

namespace kamelo::imaging::magickcodec {

namespace {

constexpr unsigned kPhotoCdBase = 3;

void initialise() {
    static std::once_flag once;
    std::call_once(once, [] {
        Magick::InitializeMagick(nullptr);
        // A forged header must not make the library allocate gigabytes.
        MagickLib::SetMagickResourceLimit(MagickLib::PixelsResource,
                                          static_cast<MagickLib::magick_int64_t>(kMaxPixels));
    });
}

const char* magickName(PictureFormat f) {
    switch (f) {
    case PictureFormat::Bmp:
        return "BMP";
    case PictureFormat::Pcx:
        return "PCX";
    case PictureFormat::Dcx:
        return "DCX";
    case PictureFormat::Ras:
        return "SUN";
    case PictureFormat::Sgi:
        return "SGI";
    case PictureFormat::Tga:
        return "TGA";
    case PictureFormat::Pict:
        return "PICT";
    case PictureFormat::Pcd:
        return "PCD";
    case PictureFormat::Ico:
        return "ICO";
    case PictureFormat::Cur:
        return "CUR";
    case PictureFormat::Wmf:
        return "WMF";
    default:
        return nullptr;
    }
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
    }
}

} // namespace

int ping(ByteView bytes, PictureFormat format, int& width, int& height) {
    const char* name = magickName(format);
    if (!name || bytes.size == 0)
        return result::kUnknownFormat;
    initialise();
    Magick::Image image;
    int rc = guarded([&] {
        image.magick(name);
        // Photo CD keeps several resolutions; the 768 x 512 base is the picture.
        // Other formats ping their first image without a range (PICT answers a
        // ranged ping with wrong sizes).
        if (format == PictureFormat::Pcd) {
            image.subImage(kPhotoCdBase);
            image.subRange(1);
        }
        image.ping(Magick::Blob(bytes.data, bytes.size));
    });
    if (rc < 1)
        return rc;
    width = static_cast<int>(image.columns());
    height = static_cast<int>(image.rows());
    return width > 0 && height > 0 ? result::kSuccess : result::kCorruptData;
}

int decode(ByteView bytes, PictureFormat format, const LoadOptions& options, Bitmap& out) {
    const char* name = magickName(format);
    if (!name || bytes.size == 0)
        return result::kUnknownFormat;
    initialise();
    Magick::Image image;
    int rc = guarded([&] {
        image.magick(name);
        image.subImage(format == PictureFormat::Pcd
                           ? kPhotoCdBase
                           : static_cast<unsigned>(std::max(0, options.page)));
        image.subRange(1);
        image.read(Magick::Blob(bytes.data, bytes.size));
    });
    if (rc < 1)
        return rc;
    const int w = static_cast<int>(image.columns()), h = static_cast<int>(image.rows());
    if (w <= 0 || h <= 0)
        return result::kCorruptData;
    rc = out.create(w, h);
    if (rc != result::kSuccess)
        return rc;
    const bool alpha = image.matte();
    std::vector<uint8_t> rgba(alpha ? static_cast<size_t>(w) * 4 : 0);
    rc = guarded([&] {
        for (int y = 0; y < h; ++y) {
            if (!alpha) {
                image.write(0, y, static_cast<unsigned>(w), 1, "BGR", Magick::CharPixel,
                            out.row(y));
                continue;
            }
            image.write(0, y, static_cast<unsigned>(w), 1, "RGBA", Magick::CharPixel, rgba.data());
            uint8_t* dst = out.row(y);
            for (int x = 0; x < w; ++x, dst += 3) {
                const uint8_t* p = rgba.data() + x * 4;
                dst[0] = overWhite(p[2], p[3]);
                dst[1] = overWhite(p[1], p[3]);
                dst[2] = overWhite(p[0], p[3]);
            }
        }
    });
    if (rc < 1)
        return rc;
    const Magick::Geometry density = image.density();
    if (density.width() > 0 && density.height() > 0) {
        const double f =
            image.resolutionUnits() == Magick::PixelsPerCentimeterResolution ? 2.54 : 1.0;
        out.setResolution(static_cast<int>(density.width() * f + 0.5),
                          static_cast<int>(density.height() * f + 0.5));
    }
    if (options.onRows) {
        rc = options.onRows(out, 0, h, 0);
        if (rc < 1)
            return rc;
    }
    return result::kSuccess;
}

int encode(const Bitmap& bitmap, const std::string& magick, std::vector<uint8_t>& out) {
    if (!bitmap.isAllocated())
        return result::kNoBitmap;
    initialise();
    const int w = bitmap.width(), h = bitmap.height();
    std::vector<uint8_t> packed(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        std::copy_n(bitmap.row(y), static_cast<size_t>(w) * 3, packed.data() + size_t(y) * w * 3);
    Magick::Blob blob;
    int rc = guarded([&] {
        Magick::Image image(static_cast<unsigned>(w), static_cast<unsigned>(h), "BGR",
                            Magick::CharPixel, packed.data());
        image.depth(8);
        image.resolutionUnits(Magick::PixelsPerInchResolution);
        image.density(Magick::Geometry(static_cast<unsigned>(std::max(1, bitmap.xResolution())),
                                       static_cast<unsigned>(std::max(1, bitmap.yResolution()))));
        image.magick(magick);
        image.write(&blob);
    });
    if (rc < 1)
        return result::kFileWrite;
    const auto* data = static_cast<const uint8_t*>(blob.data());
    if (!data || blob.length() == 0)
        return result::kFileWrite;
    out.assign(data, data + blob.length());
    return result::kSuccess;
}

} // namespace kamelo::imaging::magickcodec
