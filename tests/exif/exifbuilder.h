#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kamelo::test {

// Builds EXIF blocks and JPEG files byte by byte for the parser tests.
class ExifBuilder {
public:
    struct Entry {
        uint16_t tag;
        uint16_t format;
        uint32_t count;
        std::vector<uint8_t> value; // count * size bytes, in the file's order
    };

    explicit ExifBuilder(bool motorola) : mm_(motorola) {}

    std::vector<uint8_t> u16(uint16_t v) const {
        return mm_ ? std::vector<uint8_t>{uint8_t(v >> 8), uint8_t(v)}
                   : std::vector<uint8_t>{uint8_t(v), uint8_t(v >> 8)};
    }
    std::vector<uint8_t> u32(uint32_t v) const {
        std::vector<uint8_t> a = u16(uint16_t(mm_ ? v >> 16 : v)),
                             b = u16(uint16_t(mm_ ? v : v >> 16));
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
    std::vector<uint8_t> rational(uint32_t num, uint32_t den) const {
        std::vector<uint8_t> a = u32(num), b = u32(den);
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
    Entry shortEntry(uint16_t tag, uint16_t v) const { return {tag, 3, 1, u16(v)}; }
    Entry longEntry(uint16_t tag, uint32_t v) const { return {tag, 4, 1, u32(v)}; }
    Entry rationalEntry(uint16_t tag, uint32_t n, uint32_t d, bool isSigned = false) const {
        return {tag, uint16_t(isSigned ? 10 : 5), 1, rational(n, d)};
    }
    Entry asciiEntry(uint16_t tag, const std::string& s) const {
        std::vector<uint8_t> v(s.begin(), s.end());
        v.push_back(0);
        return {tag, 2, uint32_t(v.size()), v};
    }
    Entry undefinedEntry(uint16_t tag, const std::string& bytes) const {
        return {tag, 7, uint32_t(bytes.size()), std::vector<uint8_t>(bytes.begin(), bytes.end())};
    }

    // The TIFF block: IFD0 (with a link to the EXIF IFD when exif is not
    // empty), then IFD1 with the thumbnail when one is given.
    std::vector<uint8_t> tiff(std::vector<Entry> ifd0, const std::vector<Entry>& exif,
                              const std::vector<uint8_t>& thumbnail = {}) const;
    // "Exif\0\0" + TIFF: the APP1 payload.
    std::vector<uint8_t> app1Payload(const std::vector<uint8_t>& tiff) const;

    // A JPEG: SOI, the given segments (marker, payload), SOF0 of w x h with
    // three components, SOS and a little scan data, EOI.
    static std::vector<uint8_t>
    jpeg(const std::vector<std::pair<int, std::vector<uint8_t>>>& segments, int width = 640,
         int height = 480);
    static std::vector<uint8_t> segment(int marker, const std::vector<uint8_t>& payload);

private:
    bool mm_;
};

} // namespace kamelo::test
