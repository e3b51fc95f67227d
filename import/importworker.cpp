#include "importworker.h"

#include "importcopier.h"

#include <QMutex>

#include <QSet>
#include <QThread>
#include <chrono>

namespace kamelo::acquire {

namespace {
QMutex runningMutex;
QSet<QThread*> running;
} // namespace

void ImportControl::stop() {
    {
        std::lock_guard lock(mutex_);
        stop_.store(true);
    }
    changed_.notify_all();
}

void ImportControl::detach() {
    detached_.store(true);
    stop();
}

void ImportControl::clearAnswer() {
    std::lock_guard lock(mutex_);
    answer_.reset();
}

ClashChoice ImportControl::waitForAnswer() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return answer_.has_value() || stop_.load(); });
    return answer_.value_or(ClashChoice::Stop);
}

void ImportControl::answer(ClashChoice choice) {
    {
        std::lock_guard lock(mutex_);
        answer_ = choice;
    }
    changed_.notify_all();
}

void ImportControl::markFinished() {
    {
        std::lock_guard lock(mutex_);
        finished_.store(true);
    }
    changed_.notify_all();
}

bool ImportControl::waitFinished(int ms) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms),
                             [this] { return finished_.load(); });
}

void ImportControl::setSummary(ImportSummary s) {
    std::lock_guard lock(mutex_);
    summary_ = std::move(s);
}

ImportSummary ImportControl::summary() const {
    std::lock_guard lock(mutex_);
    return summary_;
}

ImportWorker::ImportWorker(ImportJob job, std::shared_ptr<ImportControl> control)
    : job_(std::move(job)), control_(std::move(control)) {}

ImportWorker* ImportWorker::create(ImportJob job, std::shared_ptr<ImportControl> control) {
    auto* worker = new ImportWorker(std::move(job), std::move(control));
    auto* thread = new QThread;
    worker->thread_ = thread;
    worker->moveToThread(thread);
    connect(thread, &QThread::started, worker, &ImportWorker::run);
    connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, [thread] {
        {
            QMutexLocker lock(&runningMutex);
            running.remove(thread);
        }
        thread->deleteLater();
    });
    return worker;
}

void ImportWorker::start() {
    {
        QMutexLocker lock(&runningMutex);
        running.insert(thread_);
    }
    thread_->start();
}

void ImportWorker::waitForAll() {
    QSet<QThread*> threads;
    {
        QMutexLocker lock(&runningMutex);
        threads = running;
    }
    for (QThread* t : threads)
        t->wait();
}

void ImportWorker::run() {
    class Events : public ImportEvents {
    public:
        explicit Events(ImportWorker& w) : w_(w) {}
        void started(int count) override { emit w_.started(count); }
        void copying(const std::string& s, const std::string& d) override {
            emit w_.copying(QString::fromStdString(s), QString::fromStdString(d));
        }
        void failed(const std::string& s, const std::string& reason) override {
            emit w_.fileFailed(QString::fromStdString(s), QString::fromStdString(reason));
        }
        ClashChoice askClash(const std::string& existing, const std::string& source) override {
            w_.control_->clearAnswer(); // before asking, so a quick answer is not lost
            emit w_.clashAsked(QString::fromStdString(existing), QString::fromStdString(source));
            return w_.control_->waitForAnswer();
        }

    private:
        ImportWorker& w_;
    } events(*this);

    ImportCopier copier(std::move(job_));
    ImportSummary summary = copier.run(events, control_->stopFlag(), control_->detachedFlag());
    const bool clashStop = summary.stoppedAtClash;
    control_->setSummary(std::move(summary));
    control_->markFinished();
    if (clashStop)
        emit stoppedAtClash();
    emit done();
    thread()->quit();
}

} // namespace kamelo::acquire
