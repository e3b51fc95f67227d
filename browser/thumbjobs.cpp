#include "thumbjobs.h"

#include <algorithm>

namespace kamelo {

ThumbJobs::ThumbJobs(const ThumbRecipe& recipe, const std::atomic<bool>& stop)
    : recipe_(recipe), stop_(stop) {}

ThumbJobs::~ThumbJobs() {
    finish();
}

void ThumbJobs::start(int helpers) {
    std::lock_guard lock(mutex_);
    quit_ = false;
    for (int i = 0; i < helpers; ++i)
        helpers_.emplace_back([this] { helperLoop(); });
}

void ThumbJobs::finish() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        // Nothing waiting is started from now on.
        for (const std::shared_ptr<Task>& t : waiting_)
            t->state = Task::Dropped;
        waiting_.clear();
    }
    changed_.notify_all();
    for (std::thread& t : helpers_)
        t.join();
    helpers_.clear();
}

std::shared_ptr<ThumbJobs::Task> ThumbJobs::submit(int index, const std::string& path) {
    auto task = std::make_shared<Task>();
    task->index = index;
    task->path = path;
    {
        std::lock_guard lock(mutex_);
        waiting_.push_back(task);
    }
    changed_.notify_all();
    return task;
}

bool ThumbJobs::drop(Task& task) {
    std::lock_guard lock(mutex_);
    if (task.state != Task::Queued)
        return false;
    task.state = Task::Dropped;
    waiting_.erase(std::remove_if(waiting_.begin(), waiting_.end(),
                                  [&](const std::shared_ptr<Task>& t) { return t.get() == &task; }),
                   waiting_.end());
    return true;
}

void ThumbJobs::work(Task& front, const std::function<bool()>& interrupted) {
    std::unique_lock lock(mutex_);
    if (front.state == Task::Finished || front.state == Task::Dropped)
        return;
    if (!waiting_.empty()) {
        // The front itself when it waits (it is first in line), else the
        // next one, so this thread decodes while a helper finishes the front.
        std::shared_ptr<Task> task = waiting_.front();
        waiting_.pop_front();
        renderHere(task, lock);
        return;
    }
    changed_.wait(lock, [&] { return front.state == Task::Finished || interrupted(); });
}

bool ThumbJobs::finished(const Task& task) {
    std::lock_guard lock(mutex_);
    return task.state == Task::Finished;
}

void ThumbJobs::wake() {
    { std::lock_guard lock(mutex_); }
    changed_.notify_all();
}

void ThumbJobs::helperLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return quit_ || !waiting_.empty(); });
        if (quit_)
            return;
        std::shared_ptr<Task> task = waiting_.front();
        waiting_.pop_front();
        renderHere(task, lock);
    }
}

void ThumbJobs::renderHere(const std::shared_ptr<Task>& task, std::unique_lock<std::mutex>& lock) {
    task->state = Task::Running;
    lock.unlock();
    ThumbResult r = ThumbRenderer::render(task->path, recipe_, [this] { return stop_.load(); });
    lock.lock();
    task->result = std::move(r);
    task->state = Task::Finished;
    changed_.notify_all();
}

} // namespace kamelo
