#include "rowbands.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace kamelo::imaging {

void forBands(int count, const std::function<void(int, int)>& body, int minPerBand) {
    if (count <= 0)
        return;
    const int cores = std::max(1, int(std::thread::hardware_concurrency()));
    const int bands = std::clamp(count / std::max(1, minPerBand), 1, cores);
    if (bands == 1) {
        body(0, count);
        return;
    }
    std::vector<std::thread> threads;
    threads.reserve(bands - 1);
    const auto edge = [&](int i) { return int(int64_t(count) * i / bands); };
    try {
        for (int i = 1; i < bands; ++i)
            threads.emplace_back(body, edge(i), edge(i + 1));
    } catch (...) {
        // No thread to be had: the rest runs here.
        body(edge(int(threads.size()) + 1), count);
    }
    body(0, edge(1));
    for (std::thread& t : threads)
        t.join();
}

} // namespace kamelo::imaging
