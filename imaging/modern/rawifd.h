#pragma once

#include "imaging/core/filebytes.h"

#include <cstdint>
#include <vector>

// The previews and orientation of a TIFF-based RAW file (DNG, NEF, ARW,
// CR2, PEF, ...) read from its IFDs without LibRaw: a thumbnail needs a few
// hundred bytes of headers and the preview's own bytes, not the parse of the
// whole file. Every offset and count is checked against the file's length,
// and the walk is bounded in IFDs, entries and depth, so a hostile file ends
// it early instead of sending it round or past the end.
namespace kamelo::imaging::rawcodec {

// Byte ranges of a file in memory or on disk (read with pread).
class RangeReader {
public:
    explicit RangeReader(ByteView bytes) : bytes_(bytes), size_(bytes.size) {}
    RangeReader(int fd, uint64_t size) : fd_(fd), size_(size) {}
    uint64_t size() const { return size_; }
    // Reads exactly length bytes at offset; false when they are not all in the file.
    bool read(uint64_t offset, size_t length, uint8_t* out) const;

private:
    ByteView bytes_;
    int fd_ = -1;
    uint64_t size_ = 0;
};

struct PreviewSpot {
    enum class Kind { Jpeg, Rgb } kind = Kind::Jpeg;
    uint64_t offset = 0;
    uint64_t length = 0;
    int width = 0; // from the JPEG's frame header, or the IFD for RGB
    int height = 0;
    // DNG's PreviewColorSpace: 0 unknown, 1 grey gamma 2.2, 2 sRGB,
    // 3 Adobe RGB, 4 ProPhoto RGB.
    int colourSpace = 0;
};

struct RawLayout {
    bool tiff = false;   // a classic TIFF header was found (else no previews are taken)
    bool dng = false;    // IFD0 holds a DNG version
    int orientation = 1; // IFD0's, 1..8
    // IFD0 names a Hasselblad with a model name long enough to overrun
    // LibRaw 0.20's buffers (its model parser appends to them unchecked):
    // such a file must not reach LibRaw.
    bool libRawOverflows = false;
    // A DNG's raw picture (its default crop where given): about the size a
    // development gives. 0 x 0 when not found.
    int rawWidth = 0;
    int rawHeight = 0;
    std::vector<PreviewSpot> previews;
};

// Walks the IFDs; a file that is not a classic TIFF gives tiff == false.
RawLayout readLayout(const RangeReader& file);

// The preview to show in a box of at least minWidth x minHeight: the
// smallest of the largest one's shape that covers it, else the largest;
// null when there is none.
const PreviewSpot* choosePreview(const RawLayout& layout, int minWidth, int minHeight);

} // namespace kamelo::imaging::rawcodec
