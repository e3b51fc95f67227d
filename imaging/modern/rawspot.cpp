#include "rawspot.h"

#include "imaging/colour/iccprofile.h"
#include "imaging/result.h"
#include "rawpreview.h"

#include <vector>

namespace kamelo::imaging::rawcodec {

namespace {

// Cameras' largest previews (a CR2's full-size JPEG) are a few megabytes;
// a longer one is not read into memory for a thumbnail.
constexpr uint64_t kMaxPreviewBytes = uint64_t(64) << 20;

// The colour space a DNG names for its preview; sRGB, as cameras make
// their previews, when it names none.
colour::ProfilePtr profileOf(const PreviewSpot& spot) {
    switch (spot.colourSpace) {
    case 3:
        return colour::IccProfile::adobeRgb();
    case 4:
        return colour::IccProfile::proPhoto();
    default:
        return colour::IccProfile::srgb();
    }
}

int decodePixels(const RangeReader& file, const PreviewSpot& spot, int minWidth, int minHeight,
                 Bitmap& out) {
    out.free();
    if (spot.length == 0 || spot.length > kMaxPreviewBytes)
        return result::kTooLarge;
    std::vector<uint8_t> bytes(size_t(spot.length));
    if (!file.read(spot.offset, bytes.size(), bytes.data()))
        return result::kTruncated;
    if (spot.kind == PreviewSpot::Kind::Jpeg)
        return decodeJpegPreview(bytes.data(), bytes.size(), minWidth, minHeight, out);
    if (uint64_t(spot.width) * uint64_t(spot.height) * 3 > bytes.size())
        return result::kTruncated;
    if (const int rc = out.allocate(spot.width, spot.height); rc < 1)
        return rc;
    const uint8_t* src = bytes.data();
    for (int y = 0; y < spot.height; ++y) {
        uint8_t* d = out.row(y);
        for (int x = 0; x < spot.width; ++x, d += 3, src += 3) {
            d[0] = src[2];
            d[1] = src[1];
            d[2] = src[0];
        }
    }
    return result::kSuccess;
}

} // namespace

int decodeSpot(const RangeReader& file, const PreviewSpot& spot, int minWidth, int minHeight,
               Bitmap& out) {
    const int rc = decodePixels(file, spot, minWidth, minHeight, out);
    if (rc >= 1)
        out.setColourProfile(profileOf(spot));
    return rc;
}

int stampFromIfds(const RangeReader& file, int minWidth, int minHeight, Bitmap& out) {
    out.free();
    const RawLayout layout = readLayout(file);
    const PreviewSpot* spot = choosePreview(layout, minWidth, minHeight);
    if (!spot)
        return result::kUnsupported;
    const bool covers =
        (minWidth > 0 || minHeight > 0) && spot->width >= minWidth && spot->height >= minHeight;
    if (!layout.dng && !covers)
        return result::kUnsupported;
    if (decodeSpot(file, *spot, minWidth, minHeight, out) < 1) {
        out.free();
        return result::kUnsupported;
    }
    return result::kSuccess;
}

} // namespace kamelo::imaging::rawcodec
