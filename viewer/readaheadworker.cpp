#include "readaheadworker.h"

#include "base/uisettings.h"
#include "imaging/memorybudget.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace kamelo {

namespace {
std::atomic<bool> detachedLastTime{false};
}

ReadAheadWorker::ReadAheadWorker(int stopTimeoutMs)
    : state_(std::make_shared<State>()), stopTimeoutMs_(stopTimeoutMs) {
    std::thread(run, state_).detach();
}

ReadAheadWorker::~ReadAheadWorker() {
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->stop = true;
    state_->wake.notify_all();
    // The thread holds its own reference to the state: if it is still inside
    // a long decode after the timeout it finishes that on its own and goes.
    const bool ended = state_->done.wait_for(lock, std::chrono::milliseconds(stopTimeoutMs_),
                                             [this] { return state_->finished; });
    detachedLastTime = !ended;
}

bool ReadAheadWorker::lastStopDetached() {
    return detachedLastTime;
}

void ReadAheadWorker::post(const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (path == state_->readyPath && state_->ready.isAllocated())
            return; // already there
        state_->wanted = path;
        state_->upright = picturesUpright();
        state_->pending = true;
        state_->readyPath.clear();
        state_->ready.free();
    }
    state_->wake.notify_all();
}

bool ReadAheadWorker::take(const std::string& path, imaging::Bitmap& out) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (path.empty() || state_->readyPath != path || !state_->ready.isAllocated())
        return false;
    out = std::move(state_->ready);
    state_->ready = imaging::Bitmap();
    state_->readyPath.clear();
    return true;
}

void ReadAheadWorker::release() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->ready.free();
    state_->readyPath.clear();
    state_->wanted.clear();
    state_->pending = false;
}

bool ReadAheadWorker::waitReady(const std::string& path, int timeoutMs) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return state_->readyPath == path && state_->ready.isAllocated();
    });
}

void ReadAheadWorker::run(std::shared_ptr<State> s) {
    for (;;) {
        std::string path;
        bool upright = true;
        {
            std::unique_lock<std::mutex> lock(s->mutex);
            s->wake.wait(lock, [&] { return s->stop || s->pending; });
            if (s->stop) {
                s->finished = true;
                s->done.notify_all();
                return;
            }
            path = s->wanted;
            upright = s->upright;
            s->pending = false;
        }
        // Decoded outside the lock; the result counts only if it is still
        // the picture wanted.
        // As a background decode it never adds a second huge picture beside
        // the one on screen: such a picture fails here at once and is
        // decoded when it is shown.
        imaging::Bitmap picture;
        bool ok = false;
        {
            imaging::memorybudget::BackgroundScope background;
            ok = imaging::PictureFile::load(path, picture) >= 1 &&
                 (!upright || imaging::Orientation::makeUpright(
                                  picture, imaging::Orientation::read(path)) >= 1);
        }
        {
            std::lock_guard<std::mutex> lock(s->mutex);
            if (ok && !s->pending && !s->stop && s->wanted == path) {
                s->ready = std::move(picture);
                s->readyPath = path;
            }
        }
        s->done.notify_all();
    }
}

} // namespace kamelo
