#pragma once

// Timing and sample pictures shared by the benchmarks.

#include "imaging/bitmap.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace kamelo::bench {

// A field of this process's /proc/self/status in kB ("VmHWM:" the peak
// resident memory, "VmRSS:" the resident now); -1 when missing.
inline long statusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::strlen(field));
    return -1;
}

// The middle value of a set of rounds: steadier than the mean on a busy machine.
inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// s as one word for sh, whatever it holds.
inline std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The shortest of runs calls, in seconds: the least disturbed by a busy machine.
inline double bestSeconds(int runs, const std::function<void()>& fn) {
    using Clock = std::chrono::steady_clock;
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        fn();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

inline double bestMs(int runs, const std::function<void()>& fn) {
    return bestSeconds(runs, fn) * 1000;
}

// A shell command's best time in milliseconds; a failure is said on stderr.
inline double commandMs(int runs, const std::string& cmd) {
    return bestMs(runs, [&] {
        if (std::system((cmd + " >/dev/null 2>&1").c_str()) != 0)
            std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    });
}

// Gradients with noise of +-noise levels: compresses like a photograph,
// not like a flat test card.
inline imaging::Bitmap photoLike(int w, int h, int noise) {
    imaging::Bitmap b;
    b.allocate(w, h);
    uint32_t seed = 12345;
    for (int y = 0; y < h; ++y) {
        uint8_t* p = b.row(y);
        for (int x = 0; x < w; ++x, p += 3) {
            seed = seed * 1664525u + 1013904223u;
            const int n = int(seed % uint32_t(2 * noise)) - noise;
            p[0] = uint8_t(std::clamp(40 + (x * 150) / w + n, 0, 255));
            p[1] = uint8_t(std::clamp(30 + (y * 180) / h + n, 0, 255));
            p[2] = uint8_t(std::clamp(20 + ((x + y) * 100) / (w + h) + n, 0, 255));
        }
    }
    return b;
}

} // namespace kamelo::bench
