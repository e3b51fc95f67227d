#pragma once

#include "thumbrenderer.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kamelo {

// The thumbnails one loader has handed out and not yet reported, decoded by
// the loader's thread and a few helper threads. The helpers read only the
// recipe and paths given here and never reach widgets; finish() joins them.
class ThumbJobs {
public:
    struct Task {
        enum State { Queued, Running, Finished, Dropped };
        int index = 0;
        std::string path;
        State state = Queued;
        ThumbResult result;
    };

    // recipe and stop must outlive the helpers (finish() or destruction).
    ThumbJobs(const ThumbRecipe& recipe, const std::atomic<bool>& stop);
    ~ThumbJobs();
    ThumbJobs(const ThumbJobs&) = delete;
    ThumbJobs& operator=(const ThumbJobs&) = delete;

    void start(int helpers);
    // Lets the helpers end their current thumbnail and joins them.
    void finish();

    std::shared_ptr<Task> submit(int index, const std::string& path);
    // Takes back a task no one has started; false when one has.
    bool drop(Task& task);
    // One step towards finishing `front`: decodes it here when no one has
    // started it, else decodes the next waiting task here, else waits until
    // front is finished or interrupted() holds (checked under the lock, so a
    // wake() after the condition changes is never missed).
    void work(Task& front, const std::function<bool()>& interrupted);
    bool finished(const Task& task);
    // Call after changing what interrupted() reads.
    void wake();

private:
    void helperLoop();
    // Runs the task with the lock released; the lock is held on entry and exit.
    void renderHere(const std::shared_ptr<Task>& task, std::unique_lock<std::mutex>& lock);

    const ThumbRecipe& recipe_;
    const std::atomic<bool>& stop_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Task>> waiting_;
    std::vector<std::thread> helpers_;
    bool quit_ = false;
};

} // namespace kamelo
