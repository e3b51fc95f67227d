#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kamelo::imaging {

// PackBits / ByteRun1 run-length coding, shared by PSD and IFF.
namespace packbits {

// Decodes from src until out holds want bytes or the input ends. Returns the
// number of input bytes used; *complete tells whether want bytes were produced.
size_t decode(const uint8_t* src, size_t srcSize, uint8_t* out, size_t want, bool* complete);

void encode(const uint8_t* src, size_t size, std::vector<uint8_t>& out);

} // namespace packbits

} // namespace kamelo::imaging
