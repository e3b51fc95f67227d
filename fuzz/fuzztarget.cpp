#include "fuzzentries.h"

#include <cstddef>
#include <cstdint>

// Built once per entry with KAMELO_FUZZ_ENTRY naming it.
namespace kamelo::fuzz {
int KAMELO_FUZZ_ENTRY(const uint8_t* data, size_t size);
} // namespace kamelo::fuzz

// Once per process, not per run.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
#ifdef KAMELO_FUZZ_PICTURES
    kamelo::fuzz::setPixelBudget(int64_t(1) << 12);
#endif
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kamelo::fuzz::KAMELO_FUZZ_ENTRY(data, size);
    return 0;
}
