#pragma once

#include "heifboxes.h"

#include <cstdint>
#include <vector>

// Reading ISO base media boxes out of bytes at hand, shared by the walks
// of heifboxes: every read is bounded by the box or payload it is in.
namespace kamelo::imaging::heifboxes::detail {

// Top-level boxes looked at before giving up on finding 'meta'.
constexpr int kMaxTopLevelBoxes = 64;

inline uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline uint16_t be16(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}
inline uint64_t be64(const uint8_t* p) {
    return uint64_t(be32(p)) << 32 | be32(p + 4);
}

struct Box {
    uint32_t type = 0;
    ByteView payload;
};

// The child boxes of a range, one after another; a box that claims more than
// its parent holds ends the walk.
class Children {
public:
    explicit Children(ByteView range) : range_(range) {}

    bool next(Box& box) {
        const size_t left = range_.size - pos_;
        if (left < 8)
            return false;
        const uint8_t* p = range_.data + pos_;
        uint64_t size = be32(p);
        size_t header = 8;
        if (size == 1) {
            if (left < 16)
                return false;
            size = be64(p + 8);
            header = 16;
        } else if (size == 0) {
            size = left; // to the end of the parent
        }
        if (size < header || size > left)
            return false;
        box.type = be32(p + 4);
        box.payload = {p + header, static_cast<size_t>(size) - header};
        pos_ += static_cast<size_t>(size);
        return true;
    }

private:
    ByteView range_;
    size_t pos_ = 0;
};

// Reads fixed fields from a payload, refusing to run past its end.
class Fields {
public:
    explicit Fields(ByteView bytes) : bytes_(bytes) {}
    bool skip(size_t n) {
        if (bytes_.size - pos_ < n)
            return false;
        pos_ += n;
        return true;
    }
    bool u8(uint32_t& v) {
        if (bytes_.size - pos_ < 1)
            return false;
        v = bytes_.data[pos_++];
        return true;
    }
    bool u16(uint32_t& v) {
        if (bytes_.size - pos_ < 2)
            return false;
        v = be16(bytes_.data + pos_);
        pos_ += 2;
        return true;
    }
    bool u32(uint32_t& v) {
        if (bytes_.size - pos_ < 4)
            return false;
        v = be32(bytes_.data + pos_);
        pos_ += 4;
        return true;
    }
    ByteView rest() const { return {bytes_.data + pos_, bytes_.size - pos_}; }

private:
    ByteView bytes_;
    size_t pos_ = 0;
};

// A property of 'ipco': its type and payload (inside the meta box read).
struct Property {
    uint32_t type = 0;
    ByteView payload;
};

// What the primary item's properties say, in association order.
struct Transforms {
    int orientation = 1;
    bool turned = false; // an irot or imir seen: a crop after it is not ours to read
    uint32_t width = 0, height = 0;
    ByteView clap;
};

// The children of a 'meta' payload: a few writers leave out its version
// and flags, and its first child, 'hdlr', then starts at once. Empty when
// the payload is too short for either.
ByteView metaChildren(ByteView meta);
// The item id 'pitm' names (0 when unreadable).
uint32_t primaryItem(ByteView payload);
// The item type 'iinf' gives an item (0 when it gives none).
uint32_t itemType(ByteView iinf, uint32_t item);
// What the properties of 'iprp' associated with an item say, in order.
Transforms itemTransforms(ByteView iprp, uint32_t item);

} // namespace kamelo::imaging::heifboxes::detail
