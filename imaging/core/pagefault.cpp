#include "pagefault.h"

#include <cstdint>
#include <sys/mman.h>

namespace kamelo::imaging {

void faultIn(void* p, size_t bytes) {
    constexpr uintptr_t kPage = 4096, kHuge = uintptr_t(2) << 20;
    const uintptr_t begin = reinterpret_cast<uintptr_t>(p), end = begin + bytes;
    const uintptr_t hugeBegin = (begin + kHuge - 1) / kHuge * kHuge, hugeEnd = end / kHuge * kHuge;
    if (hugeEnd > hugeBegin)
        ::madvise(reinterpret_cast<void*>(hugeBegin), hugeEnd - hugeBegin, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    const uintptr_t first = (begin + kPage - 1) / kPage * kPage, last = end / kPage * kPage;
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#endif
}

} // namespace kamelo::imaging
