#include "readaheadworker.h"

#include "base/uisettings.h"
#include "imaging/colour/displaycolour.h"
#include "imaging/memorybudget.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "viewer/screencolour.h"
#include "viewer/viewpainter.h"

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

namespace {
bool sameFit(const ReadAheadWorker::ViewFit& a, const ReadAheadWorker::ViewFit& b) {
    // Only a fixed ratio carries its factor over to the next picture.
    return a.client == b.client && a.displayMode == b.displayMode && a.screen == b.screen &&
           a.zoom.mode() == b.zoom.mode() &&
           (a.zoom.mode() != ViewZoom::kFixedRatio || a.zoom.factor() == b.zoom.factor());
}
} // namespace

void ReadAheadWorker::post(const std::string& path, QSize slide, QColor background, int screen) {
    request(path, slide, background, screen, nullptr);
}

void ReadAheadWorker::post(const std::string& path, const ViewFit& fit) {
    request(path, {}, {}, fit.screen, &fit);
}

void ReadAheadWorker::request(const std::string& path, QSize slide, QColor background, int screen,
                              const ViewFit* fit) {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        const bool sameView = fit ? state_->wantsFit && sameFit(*fit, state_->fit) : true;
        if (path == state_->readyPath && state_->ready.isAllocated() && sameView &&
            (!slide.isValid() || (state_->readySlide.size() == slide &&
                                  state_->background == background && state_->screen == screen)))
            return; // already there
        if (path == state_->wanted && (state_->pending || state_->decoding) &&
            slide == state_->slideSize && background == state_->background &&
            screen == state_->screen && bool(fit) == state_->wantsFit && sameView)
            return; // on its way
        state_->wanted = path;
        state_->slideSize = slide;
        state_->background = background;
        state_->screen = screen;
        state_->wantsFit = fit != nullptr;
        if (fit)
            state_->fit = *fit;
        state_->upright = picturesUpright();
        state_->pending = true;
        state_->readyPath.clear();
        state_->failedPath.clear();
        // The picture dropped lends its memory to the next decode.
        if (state_->ready.isAllocated() && !state_->spare.isAllocated())
            state_->spare = std::move(state_->ready);
        state_->ready.free();
        state_->readySlide = QImage();
        state_->readyScreen = QImage();
    }
    state_->wake.notify_all();
}

bool ReadAheadWorker::take(const std::string& path, imaging::Bitmap& out, QImage* slide,
                           QImage* screen, PictureSource::Identity* identity) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (path.empty() || state_->readyPath != path || !state_->ready.isAllocated())
        return false;
    out = std::move(state_->ready);
    state_->ready = imaging::Bitmap();
    state_->readyPath.clear();
    if (identity)
        *identity = state_->readyIdentity;
    if (state_->readyGeneration != imaging::colour::DisplayColour::generation()) {
        // Made for colours the display no longer has: the view makes its own.
        state_->readySlide = QImage();
        state_->readyScreen = QImage();
    }
    if (slide)
        *slide = std::move(state_->readySlide);
    state_->readySlide = QImage();
    if (screen)
        *screen = std::move(state_->readyScreen);
    state_->readyScreen = QImage();
    return true;
}

void ReadAheadWorker::recycle(imaging::Bitmap picture) {
    if (!picture.isAllocated())
        return;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        // One spare at most, and none beside a finished picture: the view
        // holds its own, so two pictures in all.
        if (!state_->spare.isAllocated() && !state_->ready.isAllocated()) {
            state_->spare = std::move(picture);
            return;
        }
        state_->discard.free(); // a rare second one: not worth a wait
        state_->discard = std::move(picture);
    }
    state_->wake.notify_all(); // freed on the worker's thread
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
    state_->spare.free();
    state_->readySlide = QImage();
    state_->readyScreen = QImage();
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
        int screen = 0;
        bool wantsFit = false;
        ViewFit fit;
        imaging::Bitmap spare;
        {
            std::unique_lock<std::mutex> lock(s->mutex);
            s->wake.wait(lock, [&] { return s->stop || s->pending || s->discard.isAllocated(); });
            if (s->stop) {
                s->finished = true;
                s->done.notify_all();
                return;
            }
            if (!s->pending) {
                // A picture to give back to the system, away from the view.
                imaging::Bitmap discard = std::move(s->discard);
                s->discard = imaging::Bitmap();
                lock.unlock();
                discard.free();
                continue;
            }
            path = s->wanted;
            upright = s->upright;
            slideSize = s->slideSize;
            background = s->background;
            screen = s->screen;
            wantsFit = s->wantsFit;
            fit = s->fit;
            spare = std::move(s->spare);
            s->spare = imaging::Bitmap();
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
        // Taken before the first byte is read: a file changed during the
        // decode then no longer matches it.
        const PictureSource::Identity identity = PictureSource::Identity::of(path);
        {
            imaging::memorybudget::BackgroundScope scope;
            imaging::LoadOptions options;
            // Only the memory is lent: the picture going keeps its colour space.
            spare.setColourProfile(nullptr);
            options.reuse = &spare;
            ok = imaging::PictureFile::load(path, picture, options) >= 1 &&
                 (!upright || imaging::Orientation::makeUpright(
                                  picture, imaging::Orientation::read(path)) >= 1);
        }
        // The copies for the screen are converted here, off the view's
        // thread; read before the transform, a change of the display's
        // colours meanwhile leaves them stale rather than wrong.
        const uint64_t generation = imaging::colour::DisplayColour::generation();
        imaging::colour::TransformPtr toScreen;
        if (ok && (slideSize.isValid() || wantsFit))
            toScreen = imaging::colour::DisplayColour::toScreen(picture.colourProfile(), screen);
        QImage slide;
        if (ok && slideSize.isValid())
            slide = screencolour::slide(picture, slideSize, background, toScreen.get());
        QImage screenCopy;
        if (ok && wantsFit) {
            // Laid out as the view will lay it out when it is shown.
            const QSize size(picture.width(), picture.height());
            fit.zoom.startPicture();
            fit.zoom.prepare(size, fit.client);
            fit.zoom.fitLoaded(size, fit.client);
            const QRect dest = fit.zoom.layout(size, fit.client);
            if (ViewPainter::wantsScreenCopy(size, dest, fit.client))
                screenCopy =
                    ViewPainter::screenCopy(picture, dest.size(), fit.displayMode, toScreen.get());
        }
        {
            std::lock_guard<std::mutex> lock(s->mutex);
            s->decoding = false;
            if (!s->pending && !s->stop && s->wanted == path) {
                if (ok) {
                    s->ready = std::move(picture);
                    s->readySlide = std::move(slide);
                    s->readyScreen = std::move(screenCopy);
                    s->readyPath = path;
                    s->readyIdentity = identity;
                    s->readyGeneration = generation;
                } else {
                    s->failedPath = path;
                }
            } else if (ok && !s->spare.isAllocated()) {
                s->spare = std::move(picture); // asked for no more: kept for the next one
            }
            if (s->notify)
                s->notify();
        }
        s->done.notify_all();
    }
}

} // namespace kamelo
