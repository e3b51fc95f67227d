#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class QThread;

namespace kamelo::acquire {

// Shared by a camera task and the page that started it, so either may be
// gone first: the page stops the task and waits a bounded time, and a task
// still inside a slow libgphoto2 call ends on its own.
class CameraTaskControl {
public:
    void stop() { stop_.store(true); }
    bool stopped() const { return stop_.load(); }
    const std::atomic<bool>& stopFlag() const { return stop_; }
    void markFinished();
    bool finished() const;
    // True once the task has finished, false after ms milliseconds.
    bool waitFinished(int ms);

private:
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool finished_ = false;
};

// Camera work (detection, opening, listing) on a thread of its own, since
// a phone may take seconds to answer each libgphoto2 call. Reports by
// queued signals only; the work must own (or share) all it uses. The task
// and its thread delete themselves when it ends. Tasks of the whole
// program run one at a time: libgphoto2 is not made for parallel calls.
class CameraTask : public QObject {
    Q_OBJECT
public:
    using Work = std::function<void(CameraTask& task, const std::atomic<bool>& stop)>;
    // Started by start() once the signals are connected.
    static CameraTask* create(std::shared_ptr<CameraTaskControl> control, Work work);
    void start();
    // For the work: emits progress (on the task's thread).
    void report(int count) { emit progress(count); }

signals:
    void progress(int count);
    // The work's results may be read now.
    void done();

private:
    CameraTask(std::shared_ptr<CameraTaskControl> control, Work work);
    void run();

    QThread* thread_ = nullptr;
    std::shared_ptr<CameraTaskControl> control_;
    Work work_;
};

} // namespace kamelo::acquire
