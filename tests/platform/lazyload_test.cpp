// Calls through the trampolines of two libraries the test does not link:
// each is opened on its first call, whatever thread makes it, and the
// calls keep every argument (variadic ones and floating point ones too).
#include <gtest/gtest.h>

#include <curl/curl.h>
#include <curl/mprintf.h>
#include <jxl/thread_parallel_runner.h>

#include <atomic>
#include <dlfcn.h>
#include <string>
#include <thread>
#include <vector>

namespace {

bool loaded(const char* soname) {
    void* handle = ::dlopen(soname, RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        ::dlclose(handle);
    return handle != nullptr;
}

TEST(LazyLibrary, IsOpenedByItsFirstCallAndVariadicCallsKeepTheirArguments) {
    ASSERT_FALSE(loaded("libcurl.so.4"));
    char* text = curl_maprintf("%d %s %.2f %.1f %c", 7, "seven", 2.5, -1.5, 'z');
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text), "7 seven 2.50 -1.5 z");
    curl_free(text);
    EXPECT_TRUE(loaded("libcurl.so.4"));
    // Later calls go straight to the library.
    text = curl_maprintf("%s-%d", "again", 2);
    EXPECT_EQ(std::string(text), "again-2");
    curl_free(text);
}

TEST(LazyLibrary, ManyThreadsCallingFirstAtOnceAllReachIt) {
    ASSERT_FALSE(loaded("libjxl_threads.so.0.7"));
    constexpr int kThreads = 8;
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<size_t> workers(kThreads, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            ++ready;
            while (!go.load())
                std::this_thread::yield();
            workers[i] = JxlThreadParallelRunnerDefaultNumWorkerThreads();
        });
    while (ready.load() < kThreads)
        std::this_thread::yield();
    go = true;
    for (std::thread& t : threads)
        t.join();
    const size_t want = std::thread::hardware_concurrency();
    for (size_t n : workers)
        EXPECT_EQ(n, want);
    void* runner = JxlThreadParallelRunnerCreate(nullptr, 2);
    EXPECT_NE(runner, nullptr);
    JxlThreadParallelRunnerDestroy(runner);
}

} // namespace
