#include "batchworker.h"

#include "batchrunner.h"

#include <QMutex>
#include <QSet>
#include <QThread>

namespace kamelo::edit {

namespace {
QMutex runningMutex;
QSet<QThread*> running;
} // namespace

void BatchControl::stop() {
    {
        std::lock_guard lock(mutex_);
        stop_.store(true);
    }
    changed_.notify_all();
}

void BatchControl::clearAnswer() {
    std::lock_guard lock(mutex_);
    answer_.reset();
}

OverwriteAnswer BatchControl::waitForAnswer() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return answer_.has_value() || stop_.load(); });
    return answer_.value_or(OverwriteAnswer::Closed);
}

void BatchControl::answer(OverwriteAnswer a) {
    {
        std::lock_guard lock(mutex_);
        answer_ = a;
    }
    changed_.notify_all();
}

BatchWorker::BatchWorker(BatchJob job, std::shared_ptr<BatchControl> control)
    : job_(std::move(job)), control_(std::move(control)) {}

BatchWorker* BatchWorker::create(BatchJob job, std::shared_ptr<BatchControl> control) {
    auto* worker = new BatchWorker(std::move(job), std::move(control));
    auto* thread = new QThread;
    worker->thread_ = thread;
    worker->moveToThread(thread);
    connect(thread, &QThread::started, worker, &BatchWorker::run);
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

void BatchWorker::start() {
    {
        QMutexLocker lock(&runningMutex);
        running.insert(thread_);
    }
    thread_->start();
}

void BatchWorker::waitForAll() {
    QSet<QThread*> threads;
    {
        QMutexLocker lock(&runningMutex);
        threads = running;
    }
    for (QThread* t : threads)
        t->wait();
}

void BatchWorker::run() {
    class Events : public BatchEvents {
    public:
        explicit Events(BatchWorker& w) : w_(w) {}
        void started(int count) override { emit w_.started(count); }
        void begun(int index, const std::string& s) override {
            emit w_.fileBegun(index, QString::fromStdString(s));
        }
        void progressed(int percent) override { emit w_.fileProgress(percent); }
        void written(const std::string& s, const std::string& d) override {
            emit w_.fileWritten(QString::fromStdString(s), QString::fromStdString(d));
        }
        void noted(const std::string& s, const std::string& note) override {
            emit w_.fileNoted(QString::fromStdString(s), QString::fromStdString(note));
        }
        void failed(const std::string& s, const std::string& reason) override {
            emit w_.fileFailed(QString::fromStdString(s), QString::fromStdString(reason));
        }
        void folderFailed(const std::string& f, const std::string& reason) override {
            emit w_.folderFailed(QString::fromStdString(f), QString::fromStdString(reason));
        }
        OverwriteAnswer askOverwrite(const std::string& d) override {
            w_.control_->clearAnswer(); // before asking, so a quick answer is not lost
            emit w_.overwriteAsked(QString::fromStdString(d));
            return w_.control_->waitForAnswer();
        }

    private:
        BatchWorker& w_;
    } events(*this);

    const int count = int(job_.sources.size());
    BatchRunner runner(std::move(job_));
    const BatchSummary summary = runner.run(events, control_->flag());
    emit stopped(count);
    if (summary.complete())
        emit completed(summary.failed);
    thread()->quit();
}

} // namespace kamelo::edit
