#include "readaheadworker.h"

#include "imaging/picturefile.h"

#include <chrono>

namespace kamelo {

ReadAheadWorker::ReadAheadWorker() : thread_([this] { run(); }) {}

ReadAheadWorker::~ReadAheadWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void ReadAheadWorker::post(const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (path == readyPath_ && ready_.isAllocated())
            return; // already there
        wanted_ = path;
        pending_ = true;
        readyPath_.clear();
        ready_.free();
    }
    wake_.notify_all();
}

bool ReadAheadWorker::take(const std::string& path, imaging::Bitmap& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (path.empty() || readyPath_ != path || !ready_.isAllocated())
        return false;
    out = std::move(ready_);
    ready_ = imaging::Bitmap();
    readyPath_.clear();
    return true;
}

void ReadAheadWorker::release() {
    std::lock_guard<std::mutex> lock(mutex_);
    ready_.free();
    readyPath_.clear();
    wanted_.clear();
    pending_ = false;
}

bool ReadAheadWorker::waitReady(const std::string& path, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return done_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return readyPath_ == path && ready_.isAllocated(); });
}

void ReadAheadWorker::run() {
    for (;;) {
        std::string path;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || pending_; });
            if (stop_)
                return;
            path = wanted_;
            pending_ = false;
        }
        // Decoded outside the lock; the result counts only if it is still
        // the picture wanted.
        imaging::Bitmap picture;
        const bool ok = imaging::PictureFile::load(path, picture) >= 1;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (ok && !pending_ && wanted_ == path) {
                ready_ = std::move(picture);
                readyPath_ = path;
            }
        }
        done_.notify_all();
    }
}

} // namespace kamelo
