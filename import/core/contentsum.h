#pragma once

#include <cstddef>
#include <cstdint>

namespace kamelo::acquire {

// A 64-bit checksum of a byte stream, the same whatever pieces the bytes
// arrive in: the bytes read from a source are compared with the bytes read
// back from the written copy.
class ContentSum {
public:
    void add(const uint8_t* data, size_t size);
    uint64_t value() const;
    uint64_t bytes() const { return bytes_; }

private:
    void mix(uint64_t word);

    uint64_t a_ = 0x9E3779B97F4A7C15ull;
    uint64_t b_ = 0xC2B2AE3D27D4EB4Full;
    uint64_t bytes_ = 0;
    uint8_t carry_[8] = {};
    size_t carried_ = 0;
};

} // namespace kamelo::acquire
