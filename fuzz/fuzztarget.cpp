#include "fuzzentries.h"

// Built once per decoder with KAMELO_FUZZ_ENTRY naming the entry.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kamelo::fuzz::KAMELO_FUZZ_ENTRY(data, size);
    return 0;
}
