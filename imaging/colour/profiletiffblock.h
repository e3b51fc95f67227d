#pragma once

#include <cstddef>
#include <cstdint>

// A read-only view of a TIFF structure (a TIFF file, or the EXIF block of
// a JPEG): either byte order, classic or BigTIFF. Every offset is checked
// against the bytes given; nothing is read past them.
namespace kamelo::imaging::colour::scan {

class TiffBlock {
public:
    struct Entry {
        uint16_t type = 0;
        uint64_t count = 0;
        uint64_t valueAt = 0; // where the value's bytes start in the block
        uint64_t valueBytes = 0;
    };

    // False when the bytes do not start with a TIFF header.
    bool open(const uint8_t* data, size_t size);

    uint64_t firstIfd() const { return first_; }
    // The offset of the IFD after this one; 0 when there is none or it
    // cannot be read. outside is set when the IFD lies past the bytes.
    uint64_t nextIfd(uint64_t ifd, bool* outside = nullptr) const;
    // Looks tag up in the IFD at ifd. False when it is not there or its
    // entry is unreadable; outside is set when the IFD or the value lies
    // (partly) past the bytes given.
    bool find(uint64_t ifd, uint16_t tag, Entry& entry, bool* outside = nullptr) const;
    // A single SHORT, LONG, LONG8 or IFD value.
    bool unsignedValue(const Entry& entry, uint64_t& value) const;
    // The value's bytes, which lie inside the block (find checked it).
    const uint8_t* bytesOf(const Entry& entry) const { return data_ + entry.valueAt; }

private:
    uint64_t read(uint64_t at, int bytes) const; // caller checks the bounds
    bool inside(uint64_t at, uint64_t bytes) const { return at <= size_ && bytes <= size_ - at; }

    const uint8_t* data_ = nullptr;
    uint64_t size_ = 0;
    bool little_ = true;
    bool big_ = false;
    uint64_t first_ = 0;
};

} // namespace kamelo::imaging::colour::scan
