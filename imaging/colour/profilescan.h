#pragma once

#include "iccprofile.h"
#include "imaging/pictureformat.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// What the byte scanners of each format found, before lcms2 sees it. The
// scanners only look: they copy a profile's bytes or a description and
// leave judging them to IccProfile.
namespace kamelo::imaging::colour::scan {

struct Found {
    enum class Kind {
        None,        // nothing said, or something damaged: sRGB
        Srgb,        // the file says sRGB in so many words
        Icc,         // icc holds the profile as stored
        Described,   // primaries and curve
        Cicp,        // ISO/IEC 23091-2 code points
        DcfAdobeRgb, // no profile, EXIF says Adobe RGB by the DCF rule
    };
    Kind kind = Kind::None;
    std::vector<uint8_t> icc;
    IccProfile::Chromaticities primaries{};
    IccProfile::Curve curve;
    int cicpPrimaries = 0;
    int cicpTransfer = 0;
    // The bytes ended before the place where the scan would have stopped
    // (image data, the end of the header): a file head was too short.
    bool needMore = false;
};

Found jpeg(const uint8_t* data, size_t size);
Found png(const uint8_t* data, size_t size);
Found tiff(const uint8_t* data, size_t size, int page);
Found psd(const uint8_t* data, size_t size);
Found webp(const uint8_t* data, size_t size);

// The EXIF block of a JPEG (a TIFF structure): whether it says Adobe RGB
// by the DCF rule (ColorSpace uncalibrated, interoperability "R03").
bool exifSaysAdobeRgb(const uint8_t* tiff, size_t size);

// Whether a file's profile is whole (a header declaring more bytes than
// were stored was cut short, and lcms2 might read tags from garbage) and of
// a kind a picture can have (an RGB or grey input, display, output or colour
// space profile connecting through XYZ or Lab); lcms2 sees no other.
inline bool plausibleIcc(const std::vector<uint8_t>& icc) {
    constexpr size_t kHeaderBytes = 128;
    if (icc.size() < kHeaderBytes || icc.size() > IccProfile::kMaxBytes)
        return false;
    const size_t declared =
        size_t(icc[0]) << 24 | size_t(icc[1]) << 16 | size_t(icc[2]) << 8 | size_t(icc[3]);
    if (declared < kHeaderBytes || declared > icc.size())
        return false;
    auto is = [&](size_t at, const char* sig) { return std::memcmp(&icc[at], sig, 4) == 0; };
    return (is(12, "scnr") || is(12, "mntr") || is(12, "prtr") || is(12, "spac")) &&
           (is(16, "RGB ") || is(16, "GRAY")) && (is(20, "XYZ ") || is(20, "Lab "));
}

// What the scanners found made into a profile; null for sRGB and for
// anything refused.
ProfilePtr profileOf(Found&& found);

// readEmbeddedProfile over a file head: needMore tells whether the whole
// file could say more than these bytes did.
ProfilePtr readProfileFromHead(const uint8_t* data, size_t size, PictureFormat format, int page,
                               bool& needMore);

} // namespace kamelo::imaging::colour::scan
