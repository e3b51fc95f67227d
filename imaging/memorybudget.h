#pragma once

#include <cstddef>
#include <cstdint>

namespace kamelo::imaging::memorybudget {

// What one process may spend on pictures, shared by every thread.
//
// A "huge" picture buffer (kHugePictureBytes or more, about 90 megapixels)
// is counted process-wide. A decode on a background thread (the viewer's
// read-ahead) gets one only while no other huge buffer is alive, so it never
// adds a second huge picture beside the one on screen: it fails with "not
// enough memory" at once and the picture is decoded when it is shown.
// Other threads may hold several while their total stays within
// hugeBudget(), and always at least one.

inline constexpr size_t kHugePictureBytes = size_t(256) << 20;

// The machine's physical memory in bytes (a guess of 4 GiB when unknown).
uint64_t physicalMemory();
// The most a whole decoded animation (frames x screen bytes) may use:
// 1 GiB or a quarter of physical memory, whichever is smaller.
size_t animationBudget();
// The most all huge picture buffers together may use: 2 GiB or half of
// physical memory, whichever is smaller.
size_t hugeBudget();

// Allocates a large pixel buffer (aligned to huge pages), or returns null
// when the budget or the system refuses it. deallocate() takes it back.
void* allocate(size_t bytes, size_t alignment);
void deallocate(void* p);
// Bytes of huge buffers alive now.
size_t hugeBytesInUse();

// Marks the current thread as a background decoder while it exists.
class BackgroundScope {
public:
    BackgroundScope();
    ~BackgroundScope();
    BackgroundScope(const BackgroundScope&) = delete;
    BackgroundScope& operator=(const BackgroundScope&) = delete;

private:
    bool previous_;
};

// Tests shrink the limits to exercise them with small pictures; 0 restores
// the defaults.
void setLimitsForTesting(size_t hugePictureBytes, size_t hugeBudgetBytes,
                         size_t animationBudgetBytes);

} // namespace kamelo::imaging::memorybudget
