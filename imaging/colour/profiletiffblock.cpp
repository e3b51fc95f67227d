#include "profiletiffblock.h"

namespace kamelo::imaging::colour::scan {

namespace {

// Bytes of one value of each TIFF field type; 0 for unknown types.
uint64_t typeSize(uint16_t type) {
    switch (type) {
    case 1: // BYTE
    case 2: // ASCII
    case 6: // SBYTE
    case 7: // UNDEFINED
        return 1;
    case 3: // SHORT
    case 8: // SSHORT
        return 2;
    case 4:  // LONG
    case 9:  // SLONG
    case 11: // FLOAT
    case 13: // IFD
        return 4;
    case 5:  // RATIONAL
    case 10: // SRATIONAL
    case 12: // DOUBLE
    case 16: // LONG8
    case 17: // SLONG8
    case 18: // IFD8
        return 8;
    default:
        return 0;
    }
}

} // namespace

bool TiffBlock::open(const uint8_t* data, size_t size) {
    data_ = data;
    size_ = size;
    if (!data || size < 8)
        return false;
    if (data[0] == 'I' && data[1] == 'I')
        little_ = true;
    else if (data[0] == 'M' && data[1] == 'M')
        little_ = false;
    else
        return false;
    const uint64_t magic = read(2, 2);
    if (magic == 42) {
        big_ = false;
        first_ = read(4, 4);
        return true;
    }
    // BigTIFF: 8-byte offsets, a constant 0 after their size.
    if (magic != 43 || size < 16 || read(4, 2) != 8 || read(6, 2) != 0)
        return false;
    big_ = true;
    first_ = read(8, 8);
    return true;
}

uint64_t TiffBlock::read(uint64_t at, int bytes) const {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        const uint64_t b = data_[at + uint64_t(little_ ? bytes - 1 - i : i)];
        v = v << 8 | b;
    }
    return v;
}

uint64_t TiffBlock::nextIfd(uint64_t ifd, bool* outside) const {
    const int countBytes = big_ ? 8 : 2;
    const uint64_t entryBytes = big_ ? 20 : 12;
    const int offsetBytes = big_ ? 8 : 4;
    if (!inside(ifd, uint64_t(countBytes))) {
        if (outside)
            *outside = true;
        return 0;
    }
    const uint64_t count = read(ifd, countBytes);
    // The entries must fit in the block, which bounds count before any
    // multiplication.
    if (count > size_ / entryBytes) {
        if (outside)
            *outside = true;
        return 0;
    }
    const uint64_t at = ifd + uint64_t(countBytes) + count * entryBytes;
    if (!inside(at, uint64_t(offsetBytes))) {
        if (outside)
            *outside = true;
        return 0;
    }
    return read(at, offsetBytes);
}

bool TiffBlock::find(uint64_t ifd, uint16_t tag, Entry& entry, bool* outside) const {
    const int countBytes = big_ ? 8 : 2;
    const uint64_t entryBytes = big_ ? 20 : 12;
    const uint64_t inlineBytes = big_ ? 8 : 4;
    if (ifd == 0 || !inside(ifd, uint64_t(countBytes))) {
        if (outside && ifd != 0)
            *outside = true;
        return false;
    }
    const uint64_t count = read(ifd, countBytes);
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t at = ifd + uint64_t(countBytes) + i * entryBytes;
        if (!inside(at, entryBytes)) {
            if (outside)
                *outside = true;
            return false;
        }
        if (read(at, 2) != tag)
            continue;
        entry.type = uint16_t(read(at + 2, 2));
        entry.count = read(at + 4, big_ ? 8 : 4);
        const uint64_t unit = typeSize(entry.type);
        // A count whose bytes could not fit in any block is refused before
        // it is multiplied.
        if (unit == 0 || entry.count > (uint64_t(1) << 40) / unit)
            return false;
        entry.valueBytes = entry.count * unit;
        const uint64_t field = at + 4 + uint64_t(big_ ? 8 : 4);
        entry.valueAt = entry.valueBytes <= inlineBytes ? field : read(field, big_ ? 8 : 4);
        if (!inside(entry.valueAt, entry.valueBytes)) {
            if (outside)
                *outside = true;
            return false;
        }
        return true;
    }
    return false;
}

bool TiffBlock::unsignedValue(const Entry& entry, uint64_t& value) const {
    if (entry.count != 1)
        return false;
    switch (entry.type) {
    case 3:
        value = read(entry.valueAt, 2);
        return true;
    case 4:
    case 13:
        value = read(entry.valueAt, 4);
        return true;
    case 16:
    case 18:
        value = read(entry.valueAt, 8);
        return true;
    default:
        return false;
    }
}

} // namespace kamelo::imaging::colour::scan
