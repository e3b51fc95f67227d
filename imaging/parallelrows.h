#pragma once

#include <algorithm>
#include <cstdint>
#include <exception>
#include <functional>
#include <thread>
#include <vector>

namespace kamelo::imaging {

// Runs fn over [0, count) in contiguous slices, one per core when the work
// is large enough to pay for the threads. An exception in a slice is passed
// on once every slice has ended.
inline void forRows(int count, int64_t workPerRow, const std::function<void(int, int)>& fn) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const int64_t work = workPerRow * count;
    const int slices = static_cast<int>(
        std::min<int64_t>({int64_t(cores), int64_t(count), std::max<int64_t>(1, work >> 18)}));
    if (slices <= 1) {
        fn(0, count);
        return;
    }
    std::vector<std::thread> threads;
    std::vector<std::exception_ptr> errors(static_cast<size_t>(slices));
    for (int s = 0; s < slices; ++s) {
        const int begin = int(int64_t(count) * s / slices);
        const int end = int(int64_t(count) * (s + 1) / slices);
        auto run = [&, s, begin, end] {
            try {
                fn(begin, end);
            } catch (...) {
                errors[static_cast<size_t>(s)] = std::current_exception();
            }
        };
        if (s == slices - 1)
            run(); // the calling thread takes the last slice
        else
            threads.emplace_back(run);
    }
    for (std::thread& t : threads)
        t.join();
    for (const std::exception_ptr& e : errors)
        if (e)
            std::rethrow_exception(e);
}

} // namespace kamelo::imaging
