#pragma once

#include "bitmap.h"

#include <string>
#include <vector>

namespace kamelo::imaging {

class MetadataCarrier;

// Save format codes, as the editing parts name them.
namespace saveformat {
inline constexpr int kPcx = 1;
inline constexpr int kGif = 2;
inline constexpr int kTga = 4;
inline constexpr int kBmp = 6;
inline constexpr int kJpeg = 10;
inline constexpr int kTiff = 17;
inline constexpr int kSun = 55;
inline constexpr int kPict = 56;
inline constexpr int kPng = 75;
inline constexpr int kPsd = 76;
inline constexpr int kIff = 111;
inline constexpr int kSgi = 142;
// The web's newer formats, after the codes above.
inline constexpr int kWebp = 160;
inline constexpr int kAvif = 161;
} // namespace saveformat

// Writing pictures. Every write goes to a temporary file in the destination
// folder and is renamed into place, so a failed or interrupted save leaves an
// existing file as it was.
class PictureSaver {
public:
    // qualityFactor is used by JPEG, WebP and AVIF only: 2 is the best
    // quality (lossless for WebP and AVIF) and 255 the worst (see
    // jpegQualityFor). keep: the metadata of the picture's source, written
    // into the formats that can hold it (JPEG, PNG, TIFF, WebP, AVIF) and
    // dropped by the others.
    static int save(const Bitmap& bitmap, const std::string& path, int format,
                    int qualityFactor = 2, const MetadataCarrier* keep = nullptr);
    static int encode(const Bitmap& bitmap, int format, int qualityFactor,
                      std::vector<uint8_t>& out, const MetadataCarrier* keep = nullptr);
    // The same at a quality of 0..100 as the JPEG slider shows it (100:
    // lossless WebP and AVIF).
    static int saveAtQuality(const Bitmap& bitmap, const std::string& path, int format, int quality,
                             const MetadataCarrier* keep = nullptr);
    static int encodeAtQuality(const Bitmap& bitmap, int format, int quality,
                               std::vector<uint8_t>& out, const MetadataCarrier* keep = nullptr);
    // True for the formats whose writers take a quality.
    static bool takesQuality(int format);
    // JPEG at a quality of 0..100 as libjpeg takes it.
    static int saveJpeg(const Bitmap& bitmap, const std::string& path, int quality);

    // The save format code for a file extension ("jpg", ".PNG", ...), 0 when
    // this module cannot write it.
    static int formatForExtension(const std::string& extension);

    // The quality factor's JPEG quality: a straight line from 2 -> 100 to
    // 255 -> 1, so a smaller factor never gives a lower quality.
    static int jpegQualityFor(int qualityFactor);
};

} // namespace kamelo::imaging
