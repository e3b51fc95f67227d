#pragma once

#include "thumbjobs.h"
#include "thumbrenderer.h"

#include <QThread>

#include <atomic>
#include <string>
#include <vector>

namespace kamelo {

// The thumbnail loader of one folder load. It works on its own copy of the
// items, so it never reads what the list frees, and it reports through
// queued signals that carry its generation: a list that has moved on to
// another folder drops them.
//
// The loader decides the order (visible items first) and reports in that
// order; the decoding itself is shared between the loader thread and a few
// helper threads it owns. The helpers only see the loader's own copies and
// are joined before run() returns, so a loader cut loose by stopAndRelease
// takes them with it.
class CChangeIconThread : public QThread {
    Q_OBJECT
public:
    struct Item {
        std::string path;
        bool picture = false;
        bool done = false;
    };

    // jobs: threads that decode, the loader's own included (1: no helpers).
    CChangeIconThread(std::vector<Item> items, ThumbRecipe recipe, quint64 generation,
                      QObject* parent = nullptr, int jobs = defaultJobs());
    ~CChangeIconThread() override;

    // One thread per core, and at least one helper beside the loader.
    static int defaultJobs();
    static constexpr int kMaxJobs = 64;

    quint64 generation() const { return generation_; }
    int jobs() const { return jobs_; }
    // The item nearest the top-left of the visible area; the walk goes on
    // from there when it changes.
    void setFirstVisible(int index);
    void requestStop();
    bool stopRequested() const { return stop_.load(); }

    // Stops the loader: waits up to timeoutMs, then cuts it loose (it ends
    // on its own and deletes itself, its results going nowhere). Returns
    // true when it had ended in time.
    static bool stopAndRelease(CChangeIconThread* loader, int timeoutMs = 3000);

signals:
    void thumbnailReady(quint64 generation, int index, const kamelo::ThumbResult& result);
    void progress(quint64 generation, int percent);
    void allDone(quint64 generation);

protected:
    void run() override;

private:
    std::vector<Item> items_;
    ThumbRecipe recipe_;
    quint64 generation_;
    int jobs_;
    std::atomic<int> firstVisible_{0};
    std::atomic<bool> stop_{false};
    ThumbJobs work_{recipe_, stop_};
};

} // namespace kamelo

Q_DECLARE_METATYPE(kamelo::ThumbResult)
