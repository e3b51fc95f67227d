#include "rawspot.h"

#include "imaging/colour/iccprofile.h"
#include "imaging/jpegcodec.h"
#include "imaging/result.h"
#include "imaging/rowbands.h"
#include "rawpreview.h"

#include <algorithm>
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

int readBytes(const RangeReader& file, const PreviewSpot& spot, std::vector<uint8_t>& bytes) {
    if (spot.length == 0 || spot.length > kMaxPreviewBytes)
        return result::kTooLarge;
    bytes.resize(size_t(spot.length));
    return file.read(spot.offset, bytes.size(), bytes.data()) ? result::kSuccess
                                                              : result::kTruncated;
}

int decodePixels(const RangeReader& file, const PreviewSpot& spot, int minWidth, int minHeight,
                 Bitmap& out) {
    out.free();
    std::vector<uint8_t> bytes;
    if (const int rc = readBytes(file, spot, bytes); rc < 1)
        return rc;
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

int decodeSpotInBands(const RangeReader& file, const PreviewSpot& spot, int minWidth, int minHeight,
                      const LoadOptions& options, Bitmap& out) {
    out.free();
    std::vector<uint8_t> bytes;
    if (spot.kind != PreviewSpot::Kind::Jpeg || readBytes(file, spot, bytes) < 1) {
        if (options.reuse)
            options.reuse->free();
        if (decodeSpot(file, spot, minWidth, minHeight, out) < 1) {
            out.free();
            return result::kUnsupported;
        }
        return reportBands(out, options);
    }
    int denominator = 8;
    while (denominator > 1 && ((spot.width + denominator - 1) / denominator < minWidth ||
                               (spot.height + denominator - 1) / denominator < minHeight))
        denominator /= 2;
    // The colour space rides with the first band; a band's answer below 1
    // (the viewer moving on) is told apart from a preview that fails.
    const colour::ProfilePtr profile = profileOf(spot);
    int answer = 1;
    LoadOptions asJpeg = options;
    asJpeg.scaleDenominator = denominator;
    if (options.onRows)
        asJpeg.onRows = [&](const Bitmap& bitmap, int first, int count, int pass) {
            if (bitmap.colourProfile() != profile)
                const_cast<Bitmap&>(bitmap).setColourProfile(profile);
            answer = options.onRows(bitmap, first, count, pass);
            return answer;
        };
    const int rc = jpegcodec::decode({bytes.data(), bytes.size()}, asJpeg, out);
    if (rc >= 1) {
        out.setColourProfile(profile);
        return rc;
    }
    out.free();
    return answer < 1 ? answer : result::kUnsupported;
}

int firstPictureFromIfds(const RangeReader& file, const LoadOptions& options, Bitmap& out) {
    out.free();
    // Only a DNG's IFDs are sure to hold its largest preview and say the
    // size its development has.
    const RawLayout layout = readLayout(file);
    if (!layout.dng || layout.rawWidth <= 0 || layout.rawHeight <= 0)
        return result::kUnsupported;
    const int denominator = std::max(1, options.scaleDenominator);
    const int minWidth = (layout.rawWidth + denominator - 1) / denominator;
    const int minHeight = (layout.rawHeight + denominator - 1) / denominator;
    const PreviewSpot* spot = choosePreview(layout, minWidth, minHeight);
    if (!spot)
        return result::kUnsupported;
    return decodeSpotInBands(file, *spot, minWidth, minHeight, options, out);
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
