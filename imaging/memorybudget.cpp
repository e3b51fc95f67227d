#include "memorybudget.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <unistd.h>
#include <unordered_map>

namespace kamelo::imaging::memorybudget {

namespace {

std::mutex mutex;
size_t inUse = 0;                          // bytes of huge buffers, guarded by mutex
std::unordered_map<void*, size_t> counted; // the huge buffers themselves
thread_local bool background = false;

std::atomic<size_t> testHugePicture{0}, testHugeBudget{0}, testAnimationBudget{0};

size_t hugePictureBytes() {
    const size_t t = testHugePicture.load();
    return t ? t : kHugePictureBytes;
}

} // namespace

uint64_t physicalMemory() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return uint64_t(4) << 30;
    return uint64_t(pages) * uint64_t(pageSize);
}

size_t animationBudget() {
    if (const size_t t = testAnimationBudget.load())
        return t;
    return static_cast<size_t>(std::min<uint64_t>(uint64_t(1) << 30, physicalMemory() / 4));
}

size_t hugeBudget() {
    if (const size_t t = testHugeBudget.load())
        return t;
    return static_cast<size_t>(std::min<uint64_t>(uint64_t(2) << 30, physicalMemory() / 2));
}

void* allocate(size_t bytes, size_t alignment) {
    // Whether a buffer counts is decided here and remembered with it, so
    // that limits changed meanwhile (tests) do not unbalance the count.
    const bool huge = bytes >= hugePictureBytes();
    if (huge) {
        std::lock_guard<std::mutex> lock(mutex);
        if (inUse > 0 && (background || inUse + bytes > hugeBudget()))
            return nullptr;
        inUse += bytes;
    }
    void* p = std::aligned_alloc(alignment, bytes);
    std::lock_guard<std::mutex> lock(mutex);
    if (huge) {
        if (p)
            counted[p] = bytes;
        else
            inUse -= bytes;
    }
    return p;
}

void deallocate(void* p) {
    if (!p)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (const auto it = counted.find(p); it != counted.end()) {
            inUse -= it->second;
            counted.erase(it);
        }
    }
    std::free(p);
}

size_t hugeBytesInUse() {
    std::lock_guard<std::mutex> lock(mutex);
    return inUse;
}

BackgroundScope::BackgroundScope() : previous_(background) {
    background = true;
}

BackgroundScope::~BackgroundScope() {
    background = previous_;
}

void setLimitsForTesting(size_t hugePicture, size_t hugeBudgetBytes, size_t animationBudgetBytes) {
    testHugePicture = hugePicture;
    testHugeBudget = hugeBudgetBytes;
    testAnimationBudget = animationBudgetBytes;
}

} // namespace kamelo::imaging::memorybudget
