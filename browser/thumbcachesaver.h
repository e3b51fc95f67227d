#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <deque>
#include <memory>
#include <string>

class QThread;

namespace kamelo {

class CacheIndex;
struct ThumbCacheSnapshot;

// Writes folders' cache pairs on a worker thread, one at a time in the
// order asked for, so a list of gigabytes never holds up the window. The
// index is only touched here, on the thread that owns the saver: a pair's
// number is taken when it is queued, and the index names the pair only once
// both files are complete, so until then the folder's old pair stays valid.
// A write abandoned (the folder refreshed, the saver destroyed) leaves no
// file behind and the index as it was.
class ThumbCacheSaver : public QObject {
    Q_OBJECT
public:
    explicit ThumbCacheSaver(QObject* parent = nullptr);
    // Abandons whatever is queued or being written, and waits for the
    // worker to let go (it stops within one band of cells).
    ~ThumbCacheSaver() override;

    // Queues the snapshot as its folder's next pair in index, which must
    // outlive the write. A write of the same folder still queued is dropped
    // for it. False when no pair number could be taken.
    bool save(CacheIndex& index, std::shared_ptr<const ThumbCacheSnapshot> snapshot);
    // Drops the queued or running write of a folder (its files go).
    void abandon(const std::string& key);
    void abandonAll();
    bool isBusy() const { return running_ != nullptr || !queue_.empty(); }

signals:
    // The pair is complete and the index names it (cacheBase without extension).
    void saved(const QString& key, const QString& cacheBase, quint64 serial, quint64 revision);
    // The pair could not be written, or the cache's rules changed meanwhile.
    void failed(const QString& key);

private:
    struct Job {
        CacheIndex* index = nullptr;
        std::shared_ptr<const ThumbCacheSnapshot> snapshot;
        std::string base;
        int number = -1;
        std::atomic<bool> stop{false};
    };

    void startNext();
    void onWritten(bool ok);
    void finishJob(Job& job, bool ok);

    std::deque<std::unique_ptr<Job>> queue_;
    std::unique_ptr<Job> current_;
    QThread* running_ = nullptr;
};

} // namespace kamelo
