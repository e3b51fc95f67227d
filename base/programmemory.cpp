#include "programmemory.h"

#include <malloc.h>

namespace kamelo {

void ProgramMemory::configure() {
    // A fixed threshold also turns off glibc's dynamic raising of it.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
}

} // namespace kamelo
