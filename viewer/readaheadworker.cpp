#include "readaheadworker.h"

#include "base/uisettings.h"
#include "imaging/memorybudget.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/slideframe.h"

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

void ReadAheadWorker::post(const std::string& path, QSize slide, QColor background) {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (path == state_->readyPath && state_->ready.isAllocated() &&
            (!slide.isValid() ||
             (state_->readySlide.size() == slide && state_->background == background)))
            return; // already there
        if (path == state_->wanted && (state_->pending || state_->decoding) &&
            slide == state_->slideSize && background == state_->background)
            return; // on its way
        state_->wanted = path;
        state_->slideSize = slide;
        state_->background = background;
        state_->upright = picturesUpright();
        state_->pending = true;
        state_->readyPath.clear();
        state_->failedPath.clear();
        state_->ready.free();
        state_->readySlide = QImage();
    }
    state_->wake.notify_all();
}

bool ReadAheadWorker::take(const std::string& path, imaging::Bitmap& out, QImage* slide) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (path.empty() || state_->readyPath != path || !state_->ready.isAllocated())
        return false;
    out = std::move(state_->ready);
    state_->ready = imaging::Bitmap();
    state_->readyPath.clear();
    if (slide)
        *slide = std::move(state_->readySlide);
    state_->readySlide = QImage();
    return true;
}

bool ReadAheadWorker::busyWith(const std::string& path) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return !path.empty() && state_->wanted == path && (state_->pending || state_->decoding);
}

bool ReadAheadWorker::failed(const std::string& path) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return !path.empty() && state_->failedPath == path;
}

void ReadAheadWorker::setNotify(std::function<void()> notify) {
    // The worker calls it under the lock: once this returns, the old one
    // is neither running nor called again.
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->notify = std::move(notify);
}

void ReadAheadWorker::release() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->ready.free();
    state_->readySlide = QImage();
    state_->readyPath.clear();
    state_->failedPath.clear();
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
        QSize slideSize;
        QColor background;
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
            slideSize = s->slideSize;
            background = s->background;
            s->pending = false;
            s->decoding = true;
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
        QImage slide;
        if (ok && slideSize.isValid())
            slide = imaging::SlideFrame::compose(picture, slideSize, background);
        {
            std::lock_guard<std::mutex> lock(s->mutex);
            s->decoding = false;
            if (!s->pending && !s->stop && s->wanted == path) {
                if (ok) {
                    s->ready = std::move(picture);
                    s->readySlide = std::move(slide);
                    s->readyPath = path;
                } else {
                    s->failedPath = path;
                }
            }
            if (s->notify)
                s->notify();
        }
        s->done.notify_all();
    }
}

} // namespace kamelo
