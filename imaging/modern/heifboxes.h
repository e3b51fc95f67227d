#pragma once

#include "imaging/core/filebytes.h"

#include <cstdint>
#include <string>

// The few ISO base media boxes of a HEIF/AVIF file read without libheif:
// the brands, the primary item's type and its rotation and mirror
// properties. Every box is bounded by its parent and by the bytes at hand,
// so hostile sizes and counts end the walk instead of reading past it.
namespace kamelo::imaging::heifboxes {

constexpr uint32_t fourcc(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 |
           uint32_t(uint8_t(s[2])) << 8 | uint32_t(uint8_t(s[3]));
}

// A rectangle of the stored picture; width 0 when there is none.
struct Crop {
    int x = 0, y = 0, width = 0, height = 0;
};

struct Facts {
    uint32_t majorBrand = 0;
    bool avifBrand = false;   // 'avif' or 'avis' among the brands
    bool heicBrand = false;   // an HEVC brand among the brands
    uint32_t primaryType = 0; // item type of the primary item ('hvc1', 'av01', 'grid', ...)
    int orientation = 1;      // EXIF-equivalent of the primary item's irot/imir, 1..8
    Crop crop;                // the primary item's clean aperture ('clap') before any turn
};

// Reads an 'ftyp' box's payload (after its header).
void parseFileType(ByteView payload, Facts& facts);
// Reads a 'meta' box's payload (after its header, version and flags included).
void parseMeta(ByteView payload, Facts& facts);
// Walks the top-level boxes of a whole file in memory.
Facts factsOf(ByteView file);
// Whether every extent of the items a decode reads (the primary item, the
// items it is derived from, the thumbnails and auxiliary pictures of those)
// lies inside the file, or inside 'idat' for data kept there, and whether
// together they fit in the file: libheif sizes its buffers by them before
// reading. Returns 1, or kCorruptData / kUnsupported.
int checkExtents(ByteView file);
// Reads only the top-level box headers, 'ftyp' and 'meta' of a regular file.
// Returns 1 with facts filled, or an error code.
int readFacts(const std::string& path, Facts& facts);

// The EXIF orientation of applying `first` and then `then` (both 1..8).
int compose(int first, int then);
// The EXIF orientation equivalent to one 'irot' (angle in quarter turns
// anticlockwise) or one 'imir'. HEIF's first edition called imir's axis
// "vertical (0) or horizontal (1)", which readers took both ways; its 2022
// edition settles it as 0: top and bottom exchanged (EXIF 4), 1: left and
// right exchanged (EXIF 2). libheif 1.15 writes and shows it so (its
// encoder gives "flip vertically" axis 0), and so does avifenc.
int fromRotation(int quarterTurnsAnticlockwise);
int fromMirror(int axis);

} // namespace kamelo::imaging::heifboxes
