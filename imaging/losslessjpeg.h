#pragma once

#include "core/filebytes.h"
#include "planeturn.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kamelo::imaging {

// Turns and mirrors JPEG pictures on their DCT coefficients, so nothing of
// the picture is lost, keeping every marker segment (EXIF, XMP, IPTC, ICC,
// comments). The EXIF block is then made true to the new picture: pixel
// size, orientation 1 when the turn stood the picture upright, and its
// thumbnail turned the same way.
//
// A turn that would move partial edge blocks (a side that is not a whole
// number of MCUs) cannot be lossless: the picture is then decoded, turned
// and compressed again at the quality its tables show and with its own
// chroma subsampling, and the result says so.
class LosslessJpeg {
public:
    struct Options {
        bool upright = false;      // the turn stands the picture upright: write orientation 1
        bool allowReencode = true; // else a turn that cannot be lossless fails
        bool fixMetadata = true;   // EXIF and XMP follow the new picture
    };
    struct Result {
        std::vector<uint8_t> bytes;
        int width = 0; // of the new picture
        int height = 0;
        bool reencoded = false; // taken the lossy way
        int quality = 0;        // the quality it was compressed at then
    };

    static bool isJpeg(ByteView bytes);
    // 1, or an error code: kUnsupported for no JPEG or one of a kind that
    // cannot be turned here (the caller writes it another way), kCorruptData,
    // kTooLarge, kNoMemory.
    static int turn(ByteView source, PlaneTurn turn, const Options& options, Result& out);
    // The same from one file to another (or itself), written atomically;
    // kFileNotFound / kFileRead / kFileWrite besides.
    static int turnFile(const std::string& source, const std::string& destination, PlaneTurn turn,
                        const Options& options, Result& out);
    // Whether the turn of a width x height picture with those MCUs keeps
    // every block whole.
    static bool perfect(PlaneTurn turn, int width, int height, int mcuWidth, int mcuHeight);
};

} // namespace kamelo::imaging
