#include "thumbcachesaver.h"

#include "browser/core/cacheindex.h"
#include "browser/core/closeaside.h"
#include "platform/core/staletemporaries.h"
#include "thumbcachesnapshot.h"

#include <QThread>

#include <cstdio>

namespace kamelo {

namespace {

// Writes one pair off the window's thread; reports once, through a queued
// connection, and reads nothing but the snapshot, the base and the stop flag.
class PairWriteThread : public QThread {
public:
    PairWriteThread(std::shared_ptr<const ThumbCacheSnapshot> snapshot, std::string base,
                    const std::atomic<bool>& stop)
        : snapshot_(std::move(snapshot)), base_(std::move(base)), stop_(stop) {}
    bool ok() const { return ok_.load(); }

protected:
    void run() override { ok_.store(snapshot_->write(base_, stop_)); }

private:
    std::shared_ptr<const ThumbCacheSnapshot> snapshot_;
    std::string base_;
    const std::atomic<bool>& stop_;
    std::atomic<bool> ok_{false};
};

// Without the index: it may be gone when the saver is (the window that owns
// both lets go of its members before its child widgets).
void removeFiles(const std::string& base) {
    removeAside(CacheIndex::cacPath(base));
    std::remove(CacheIndex::lisPath(base).c_str());
}

} // namespace

ThumbCacheSaver::ThumbCacheSaver(QObject* parent) : QObject(parent) {}

ThumbCacheSaver::~ThumbCacheSaver() {
    abandonAll();
}

bool ThumbCacheSaver::save(CacheIndex& index, std::shared_ptr<const ThumbCacheSnapshot> snapshot) {
    if (!snapshot)
        return false;
    // A newer state of the same folder replaces one still waiting.
    for (auto it = queue_.begin(); it != queue_.end();)
        if ((*it)->snapshot->key == snapshot->key)
            it = queue_.erase(it);
        else
            ++it;
    // What a write cut short by a kill left in the cache folder.
    StaleTemporaries::sweepOnce(index.folder());
    index.keepOnlyRules(snapshot->upright, snapshot->colour);
    auto job = std::make_unique<Job>();
    job->number = index.reserveNumber();
    if (job->number < 0)
        return false;
    job->index = &index;
    job->base = index.cacheBase(job->number);
    job->snapshot = std::move(snapshot);
    queue_.push_back(std::move(job));
    startNext();
    return true;
}

void ThumbCacheSaver::abandon(const std::string& key) {
    for (auto it = queue_.begin(); it != queue_.end();)
        if ((*it)->snapshot->key == key)
            it = queue_.erase(it); // nothing written yet
        else
            ++it;
    if (current_ && current_->snapshot->key == key)
        current_->stop.store(true); // its files go when the worker reports
}

void ThumbCacheSaver::abandonAll() {
    queue_.clear();
    if (!running_)
        return;
    current_->stop.store(true);
    running_->wait();
    // It may have finished both files just before the stop.
    removeFiles(current_->base);
    running_->disconnect(this);
    delete running_;
    running_ = nullptr;
    current_.reset();
}

void ThumbCacheSaver::startNext() {
    if (running_ || queue_.empty())
        return;
    current_ = std::move(queue_.front());
    queue_.pop_front();
    auto* thread = new PairWriteThread(current_->snapshot, current_->base, current_->stop);
    running_ = thread;
    connect(
        thread, &QThread::finished, this, [this, thread] { onWritten(thread->ok()); },
        Qt::QueuedConnection);
    thread->start(QThread::LowPriority);
}

void ThumbCacheSaver::onWritten(bool ok) {
    if (!running_)
        return;
    running_->wait();
    delete running_;
    running_ = nullptr;
    std::unique_ptr<Job> job = std::move(current_);
    finishJob(*job, ok);
    startNext();
}

void ThumbCacheSaver::finishJob(Job& job, bool ok) {
    const ThumbCacheSnapshot& s = *job.snapshot;
    const QString key = QString::fromStdString(s.key);
    // Thumbnails of other rules must not be named once the cache changed
    // them while this pair was written.
    const bool sameRules =
        job.index->orientationRule() == (s.upright ? 1 : 0) && job.index->colourRule() == s.colour;
    if (job.stop.load() || !ok || !sameRules || !job.index->record(s.key, job.base, job.number)) {
        removeFiles(job.base);
        if (!job.stop.load())
            emit failed(key);
        return;
    }
    emit saved(key, QString::fromStdString(job.base), s.serial, s.revision);
}

} // namespace kamelo
