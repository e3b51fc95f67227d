#pragma once

#include "core/filebytes.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kamelo::imaging {

// The marker segments of a JPEG up to its first scan: where each one is,
// the quantisation tables and the frame's components, read without decoding.
class JpegLayout {
public:
    struct Segment {
        uint8_t marker = 0; // the byte after 0xFF
        size_t offset = 0;  // of the 0xFF
        size_t size = 0;    // marker, length and payload
    };

    // False when the bytes are no JPEG or a segment runs past the end before
    // the first scan.
    bool read(ByteView jpeg);

    const std::vector<Segment>& segments() const { return segments_; }
    bool progressive() const { return progressive_; }
    int components() const { return int(tableOf_.size()); }
    // The IJG quality (1-100) whose standard tables are closest to the
    // file's luminance and chrominance tables; 0 without tables.
    int estimateQuality() const;
    // The table of a component in natural (row by row) order, or null.
    const std::array<uint16_t, 64>* tableFor(int component) const;
    // A segment's payload starts with these bytes (an APPn's name).
    static bool named(ByteView jpeg, const Segment& s, const char* name, size_t length);

private:
    bool readTables(const uint8_t* p, size_t size);
    bool readFrame(const uint8_t* p, size_t size);

    std::vector<Segment> segments_;
    std::array<std::array<uint16_t, 64>, 4> tables_{};
    std::array<bool, 4> hasTable_{};
    std::vector<int> tableOf_; // per frame component
    bool progressive_ = false;
};

} // namespace kamelo::imaging
