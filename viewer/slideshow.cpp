#include "slideshow.h"

#include "base/settingsstore.h"
#include "imaging/core/pagefault.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>

namespace kamelo {

namespace {
constexpr const char* kSection = "Slide Show";
constexpr const char* kDelayTime = "Delay Time";
} // namespace

SlideShow::SlideShow(QObject* parent) : QObject(parent) {
    tickTimer_.setTimerType(Qt::PreciseTimer);
    frameTimer_.setTimerType(Qt::PreciseTimer);
    // One frame per display refresh.
    double hz = 60.0;
    if (QScreen* s = QGuiApplication::primaryScreen(); s && s->refreshRate() >= 20.0)
        hz = s->refreshRate();
    frameTimer_.setInterval(int(std::lround(1000.0 / hz)));
    connect(&tickTimer_, &QTimer::timeout, this, &SlideShow::onTick);
    connect(&frameTimer_, &QTimer::timeout, this, &SlideShow::onFrame);
}

void SlideShow::start(const SettingsStore* store) {
    interval_ = store ? store->getInt(kSection, kDelayTime, kDefaultInterval) : kDefaultInterval;
    // A stored value the timer cannot take counts as the default.
    if (interval_ <= 0)
        interval_ = kDefaultInterval;
    enabled_.clear();
    for (int i = 0; i < imaging::Transition::kEffectCount; ++i)
        if (!store || store->getInt(kSection, "Effect " + std::to_string(i), 1) != 0)
            enabled_.push_back(i);
    std::srand(unsigned(std::time(nullptr)));
    running_ = true;
    busy_ = false;
    held_ = false;
    tickTimer_.start(interval_);
}

void SlideShow::stop() {
    tickTimer_.stop();
    finish();
    from_ = QImage();
    to_ = QImage();
    screen_ = QImage();
    canvas_ = QImage();
    running_ = false;
    busy_ = false;
    held_ = false;
}

int SlideShow::chooseEffect() {
    effect_ =
        enabled_.empty()
            ? imaging::Transition::kNone
            : imaging::Transition::effectNumber(enabled_[size_t(std::rand()) % enabled_.size()]);
    return effect_;
}

void SlideShow::setBusy(bool busy) {
    busy_ = busy;
    if (!busy_)
        giveHeldTick();
}

void SlideShow::setRest(const QImage& frame) {
    screen_ = frame;
    emit frameReady();
}

void SlideShow::play(int effect, const QImage& from, const QImage& to) {
    finish();
    change_ = imaging::Transition::showEffect(effect);
    from_ = from;
    to_ = to;
    ++changes_;
    lastFrames_ = 0;
    if (effect == imaging::Transition::kNone || from.size() != to.size()) {
        setRest(to_);
        lastFrames_ = 1;
        emit changeFinished();
        giveHeldTick();
        return;
    }
    schedule_ = imaging::Transition::showSchedule();
    frame_ = 0;
    playing_ = true;
    if (canvas_.size() != to_.size() || canvas_.format() != QImage::Format_RGB32) {
        canvas_ = QImage(to_.size(), QImage::Format_RGB32);
        if (!canvas_.isNull())
            imaging::faultIn(canvas_.bits(), size_t(canvas_.sizeInBytes()));
    }
    screen_ = std::exchange(canvas_, QImage());
    onFrame(); // the first frame at once, the others one per refresh
    frameTimer_.start();
}

void SlideShow::onFrame() {
    if (!playing_)
        return;
    if (frame_ + 1 >= schedule_.size()) {
        finish();
        return;
    }
    imaging::Transition::compose(change_, schedule_[frame_], from_, to_, screen_);
    ++frame_;
    ++lastFrames_;
    emit frameReady();
}

void SlideShow::finish() {
    if (!playing_)
        return;
    frameTimer_.stop();
    playing_ = false;
    // The last frame is the new slide itself.
    canvas_ = std::move(screen_);
    screen_ = to_;
    ++lastFrames_;
    emit frameReady();
    emit changeFinished();
    giveHeldTick();
}

void SlideShow::onTick() {
    if (busy_ || playing_) {
        held_ = true;
        ++heldTicks_;
        return;
    }
    tickedAt_ = std::chrono::steady_clock::now();
    emit tick();
}

void SlideShow::giveHeldTick() {
    if (!held_ || !running_ || busy_ || playing_)
        return;
    held_ = false;
    // From the event loop, not from inside whatever ended the step.
    QTimer::singleShot(0, this, [this] {
        if (running_ && !busy_ && !playing_) {
            tickedAt_ = std::chrono::steady_clock::now();
            emit tick();
        }
    });
}

} // namespace kamelo
