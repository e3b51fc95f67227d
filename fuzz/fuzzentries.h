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

// Pictures declaring more pixels than this are only read, not decoded; 0
// (the default, used by the corpus replay) decodes everything. The fuzz
// targets set a budget once at start: the time of a run goes into filling
// huge canvases row by row (fresh pages, every pixel under coverage
// counters), which finds nothing a thin picture of the same records would
// not, and a run near the decoders' size limit is a thousand times slower.
void setPixelBudget(int64_t pixels);
int64_t pixelBudget();
// True when a picture of this size is to be decoded under the budget.
bool withinPixelBudget(int width, int height);

struct Entry {
    const char* name;
    int (*run)(const uint8_t*, size_t);
};
inline constexpr Entry kEntries[] = {
    {"psd", psd}, {"iff", iff}, {"emf", emf},
    {"ras", ras}, {"sgi", sgi}, {"jpegsections", jpegsections},
};

} // namespace kamelo::fuzz
