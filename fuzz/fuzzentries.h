#pragma once

#include <cstddef>
#include <cstdint>

namespace kamelo::fuzz {

// One entry per decoder the program writes itself. Each reads the header,
// decodes the picture with a row callback and must survive any input.
int psd(const uint8_t* data, size_t size);
int iff(const uint8_t* data, size_t size);
int emf(const uint8_t* data, size_t size);
int ras(const uint8_t* data, size_t size);
int sgi(const uint8_t* data, size_t size);
// The JPEG section reader and EXIF parser.
int jpegsections(const uint8_t* data, size_t size);

struct Entry {
    const char* name;
    int (*run)(const uint8_t*, size_t);
};
inline constexpr Entry kEntries[] = {
    {"psd", psd}, {"iff", iff}, {"emf", emf},
    {"ras", ras}, {"sgi", sgi}, {"jpegsections", jpegsections},
};

} // namespace kamelo::fuzz
