#include "prefault.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <sys/mman.h>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace kamelo::imaging::prefault {

namespace {

struct Helper {
    std::atomic<bool> stop{false};
    std::thread thread;
};

// The helpers of bitmaps still alive when the program ends by exit() (the
// display lost, say) are stopped and waited for: a thread destroyed
// while joinable would abort the program on its way out.
struct Helpers : std::unordered_map<void*, std::unique_ptr<Helper>> {
    ~Helpers() {
        for (auto& [p, helper] : *this) {
            helper->stop.store(true, std::memory_order_relaxed);
            if (helper->thread.joinable())
                helper->thread.join();
        }
    }
};

std::mutex mutex;
Helpers helpers;

// One huge page at a time, so that finish() waits for little.
constexpr size_t kStep = size_t(2) << 20;

void run(char* begin, size_t bytes, const std::atomic<bool>& stop) {
#ifdef MADV_POPULATE_WRITE
    for (size_t done = 0; done < bytes && !stop.load(std::memory_order_relaxed); done += kStep) {
        const size_t n = std::min(kStep, bytes - done);
        // Page-aligned start; the kernel faults pages in as if written but
        // leaves their contents alone. Kernels without it say so: give up.
        char* from = begin + done;
        const uintptr_t misalign = reinterpret_cast<uintptr_t>(from) % 4096;
        if (::madvise(from - misalign, n + misalign, MADV_POPULATE_WRITE) != 0)
            return;
    }
#else
    (void)begin;
    (void)bytes;
    (void)stop;
#endif
}

} // namespace

void start(void* p, size_t bytes) {
    if (!p || bytes < kMinBytes)
        return;
    auto helper = std::make_unique<Helper>();
    Helper* h = helper.get();
    std::lock_guard<std::mutex> lock(mutex);
    try {
        h->thread = std::thread(run, static_cast<char*>(p), bytes, std::cref(h->stop));
    } catch (const std::system_error&) {
        return; // no thread to spare: the decoder touches the pages itself
    }
    helpers[p] = std::move(helper);
}

void finish(void* p) {
    std::unique_ptr<Helper> helper;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = helpers.find(p);
        if (it == helpers.end())
            return;
        helper = std::move(it->second);
        helpers.erase(it);
    }
    helper->stop.store(true, std::memory_order_relaxed);
    helper->thread.join();
}

} // namespace kamelo::imaging::prefault
