#pragma once

#include "imaging/transition.h"

#include <QImage>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <vector>

namespace kamelo {

class SettingsStore;

// The slide show's clock and scene changes: timer 1036 asks for a step every
// interval; a change plays one frame per display refresh from a timer, so
// the window stays live. A tick that comes while a step or a change is
// under way is held and given once they are over.
class SlideShow : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultInterval = 2000;

    explicit SlideShow(QObject* parent = nullptr);

    // Reads "Delay Time" and "Effect 0".."Effect 7" (section "Slide Show")
    // and starts the clock.
    void start(const SettingsStore* store);
    void stop();
    bool running() const { return running_; }
    int interval() const { return interval_; }
    // The enabled entries of the effect list.
    const std::vector<int>& enabled() const { return enabled_; }
    // A random entry of the enabled ones, as its effect number (1000 when
    // none is enabled); it becomes the current effect.
    int chooseEffect();
    int currentEffect() const { return effect_; }

    // A step is loading its picture: ticks wait.
    void setBusy(bool busy);
    bool busy() const { return busy_; }
    // Plays the change from one view-sized frame to the next.
    void play(int effect, const QImage& from, const QImage& to);
    bool playing() const { return playing_; }
    // Ends a change at once with its last frame.
    void finish();
    // What the view shows now: the change's frame, or the slide at rest.
    const QImage& screen() const { return screen_; }
    void setRest(const QImage& frame);
    // The frame a change started from (tests).
    const QImage& changeStart() const { return from_; }
    // Frames painted by the last change and changes played (tests, benchmarks).
    int lastChangeFrames() const { return lastFrames_; }
    int changesPlayed() const { return changes_; }
    // Ticks that came during a step or change and were held.
    int heldTicks() const { return heldTicks_; }
    // When the last tick was given (benchmarks: tick to first frame).
    std::chrono::steady_clock::time_point tickedAt() const { return tickedAt_; }
    // The frame period, one display refresh.
    int framePeriod() const { return frameTimer_.interval(); }

signals:
    // Time for the next picture.
    void tick();
    // A new frame is in screen().
    void frameReady();
    void changeFinished();

private:
    void onTick();
    void onFrame();
    void giveHeldTick();

    QTimer tickTimer_;
    QTimer frameTimer_;
    bool running_ = false;
    bool busy_ = false;
    bool playing_ = false;
    bool held_ = false;
    int interval_ = kDefaultInterval;
    std::vector<int> enabled_;
    int effect_ = imaging::Transition::kNone;
    imaging::Transition::Effect change_;
    std::vector<double> schedule_;
    size_t frame_ = 0;
    QImage from_;
    QImage to_;
    QImage screen_;
    // The composed frames' buffer while the new slide rests on screen, kept
    // for the next change: a fresh one costs a frame's time in page faults.
    QImage canvas_;
    int lastFrames_ = 0;
    int changes_ = 0;
    int heldTicks_ = 0;
    std::chrono::steady_clock::time_point tickedAt_;
};

} // namespace kamelo
