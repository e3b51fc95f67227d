#include "rawformat.h"

#include <cstring>
#include <string_view>

namespace kamelo::imaging::rawcodec {

namespace {

bool startsWith(ByteView b, size_t at, std::string_view text) {
    return b.size >= at + text.size() && std::memcmp(b.data + at, text.data(), text.size()) == 0;
}

// The format a file's own signature names; empty for a plain TIFF.
std::string_view formatBySignature(ByteView b) {
    if (startsWith(b, 0, "FUJIFILM"))
        return "RAF";
    if (startsWith(b, 4, "ftypcrx "))
        return "CR3";
    if (startsWith(b, 0, std::string_view("II*\0", 4)) && startsWith(b, 8, "CR"))
        return "CR2";
    if (startsWith(b, 0, "IIRO") || startsWith(b, 0, "IIRS") || startsWith(b, 0, "MMOR"))
        return "ORF";
    if (startsWith(b, 0, std::string_view("IIU\0", 4)))
        return "RW2";
    if (startsWith(b, 0, std::string_view("\0MRM", 4)))
        return "MRW";
    if (startsWith(b, 0, "FOVb"))
        return "X3F";
    if (startsWith(b, 6, "HEAPCCDR"))
        return "CRW";
    if (startsWith(b, 0, "IIII"))
        return "IIQ";
    return {};
}

struct MakerFormat {
    const char* make;
    const char* format;
};

// The format a maker's TIFF-based files carry.
constexpr MakerFormat kMakerFormats[] = {
    {"Nikon", "NEF"},     {"Sony", "ARW"},       {"Pentax", "PEF"},  {"Ricoh", "PEF"},
    {"Samsung", "SRW"},   {"Hasselblad", "3FR"}, {"Kodak", "DCR"},   {"Leaf", "MOS"},
    {"Epson", "ERF"},     {"Mamiya", "MEF"},     {"Minolta", "MRW"}, {"Panasonic", "RW2"},
    {"Leica", "RWL"},     {"Olympus", "ORF"},    {"Canon", "CR2"},   {"Fujifilm", "RAF"},
    {"Phase One", "IIQ"}, {"Sigma", "X3F"},
};

} // namespace

std::string formatName(ByteView bytes, const std::string& make, bool dng) {
    if (dng)
        return "DNG";
    std::string_view format = formatBySignature(bytes);
    if (format.empty())
        for (const MakerFormat& m : kMakerFormats)
            if (make.compare(0, std::strlen(m.make), m.make) == 0) {
                format = m.format;
                break;
            }
    if (make.empty())
        return std::string(format);
    if (format.empty())
        return make;
    return make + " " + std::string(format);
}

int exifOrientation(int flip) {
    // The inverse of the table LibRaw reads EXIF orientations with.
    static constexpr int kExif[8] = {1, 2, 4, 3, 5, 8, 6, 7};
    return kExif[flip & 7];
}

} // namespace kamelo::imaging::rawcodec
