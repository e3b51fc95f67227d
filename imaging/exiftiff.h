#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kamelo::imaging {

// The TIFF structure of an EXIF block, every access bounds-checked.
class ExifTiff {
public:
    static constexpr uint16_t kShort = 3;
    static constexpr uint16_t kLong = 4;

    explicit ExifTiff(std::vector<uint8_t>& bytes) : b_(bytes) {}

    bool open() {
        if (b_.size() < 8)
            return false;
        if (b_[0] == 'I' && b_[1] == 'I')
            little_ = true;
        else if (b_[0] == 'M' && b_[1] == 'M')
            little_ = false;
        else
            return false;
        return get16(2) == 42;
    }
    bool fits(size_t at, size_t n) const { return at <= b_.size() && n <= b_.size() - at; }
    uint32_t get16(size_t at) const {
        if (!fits(at, 2))
            return 0;
        return little_ ? uint32_t(b_[at] | b_[at + 1] << 8) : uint32_t(b_[at] << 8 | b_[at + 1]);
    }
    uint32_t get32(size_t at) const {
        if (!fits(at, 4))
            return 0;
        const uint32_t lo = get16(at + (little_ ? 0 : 2));
        const uint32_t hi = get16(at + (little_ ? 2 : 0));
        return hi << 16 | lo;
    }
    void put16(size_t at, uint32_t v) {
        if (!fits(at, 2))
            return;
        b_[at + (little_ ? 0 : 1)] = uint8_t(v);
        b_[at + (little_ ? 1 : 0)] = uint8_t(v >> 8);
    }
    void put32(size_t at, uint32_t v) {
        if (!fits(at, 4))
            return;
        put16(at + (little_ ? 0 : 2), v & 0xFFFF);
        put16(at + (little_ ? 2 : 0), v >> 16);
    }
    // Where the entry of tag sits in the directory at ifd; 0 when it is not.
    size_t entry(size_t ifd, uint16_t tag) const {
        const uint32_t count = get16(ifd);
        if (ifd == 0 || !fits(ifd + 2, size_t(count) * 12))
            return 0;
        for (uint32_t i = 0; i < count; ++i) {
            const size_t e = ifd + 2 + size_t(i) * 12;
            if (get16(e) == tag)
                return e;
        }
        return 0;
    }
    // Where the next-directory link of the directory at ifd sits; 0 if none.
    size_t nextLink(size_t ifd) const {
        const size_t at = ifd + 2 + size_t(get16(ifd)) * 12;
        return ifd != 0 && fits(at, 4) ? at : 0;
    }
    // A single SHORT or LONG value set where the entry holds it.
    void setNumber(size_t ifd, uint16_t tag, uint32_t value) {
        const size_t e = entry(ifd, tag);
        if (e == 0 || get32(e + 4) != 1)
            return;
        if (get16(e + 2) == kShort && value <= 0xFFFF)
            put16(e + 8, value);
        else if (get16(e + 2) == kLong)
            put32(e + 8, value);
    }
    uint32_t number(size_t ifd, uint16_t tag) const {
        const size_t e = entry(ifd, tag);
        if (e == 0)
            return 0;
        return get16(e + 2) == kShort ? get16(e + 8) : get32(e + 8);
    }

private:
    std::vector<uint8_t>& b_;
    bool little_ = true;
};

} // namespace kamelo::imaging
