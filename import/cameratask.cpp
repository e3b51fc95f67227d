#include "cameratask.h"

#include <QThread>

#include <chrono>

namespace kamelo::acquire {

namespace {
std::mutex cameraCalls;
} // namespace

void CameraTaskControl::markFinished() {
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    changed_.notify_all();
}

bool CameraTaskControl::finished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

bool CameraTaskControl::waitFinished(int ms) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return finished_; });
}

CameraTask::CameraTask(std::shared_ptr<CameraTaskControl> control, Work work)
    : control_(std::move(control)), work_(std::move(work)) {}

CameraTask* CameraTask::create(std::shared_ptr<CameraTaskControl> control, Work work) {
    auto* task = new CameraTask(std::move(control), std::move(work));
    auto* thread = new QThread;
    task->thread_ = thread;
    task->moveToThread(thread);
    connect(thread, &QThread::started, task, &CameraTask::run);
    connect(thread, &QThread::finished, task, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    return task;
}

void CameraTask::start() {
    thread_->start();
}

void CameraTask::run() {
    {
        std::lock_guard lock(cameraCalls);
        // A task stopped while it waited for another has nothing to do.
        if (!control_->stopped())
            work_(*this, control_->stopFlag());
    }
    control_->markFinished();
    emit done();
    thread()->quit();
}

} // namespace kamelo::acquire
