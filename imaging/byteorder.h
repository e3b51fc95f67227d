#pragma once

#include <cstddef>
#include <cstdint>

namespace kamelo::imaging {

// Bounds-checked readers over a byte span. Reading past the end yields 0 and
// marks the reader as failed, so a parser can check once after a group of
// reads instead of before each one.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t pos() const { return pos_; }
    size_t size() const { return size_; }
    size_t remaining() const { return pos_ <= size_ ? size_ - pos_ : 0; }
    bool ok() const { return ok_; }
    const uint8_t* here() const { return data_ + pos_; }

    void seek(size_t pos) {
        if (pos > size_) {
            ok_ = false;
            pos_ = size_;
        } else {
            pos_ = pos;
        }
    }
    void skip(size_t n) {
        if (n > remaining()) {
            ok_ = false;
            pos_ = size_;
        } else {
            pos_ += n;
        }
    }
    bool has(size_t n) const { return n <= remaining(); }

    uint8_t u8() { return has(1) ? data_[pos_++] : fail<uint8_t>(); }
    uint16_t be16() {
        if (!has(2))
            return fail<uint16_t>();
        uint16_t v = uint16_t(data_[pos_] << 8 | data_[pos_ + 1]);
        pos_ += 2;
        return v;
    }
    uint32_t be32() {
        if (!has(4))
            return fail<uint32_t>();
        uint32_t v = uint32_t(data_[pos_]) << 24 | uint32_t(data_[pos_ + 1]) << 16 |
                     uint32_t(data_[pos_ + 2]) << 8 | data_[pos_ + 3];
        pos_ += 4;
        return v;
    }
    uint16_t le16() {
        if (!has(2))
            return fail<uint16_t>();
        uint16_t v = uint16_t(data_[pos_] | data_[pos_ + 1] << 8);
        pos_ += 2;
        return v;
    }
    uint32_t le32() {
        if (!has(4))
            return fail<uint32_t>();
        uint32_t v = data_[pos_] | uint32_t(data_[pos_ + 1]) << 8 |
                     uint32_t(data_[pos_ + 2]) << 16 | uint32_t(data_[pos_ + 3]) << 24;
        pos_ += 4;
        return v;
    }
    int32_t le32s() { return static_cast<int32_t>(le32()); }
    int16_t le16s() { return static_cast<int16_t>(le16()); }

private:
    template <typename T> T fail() {
        ok_ = false;
        pos_ = size_;
        return T(0);
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

} // namespace kamelo::imaging
