#include "changeiconthread.h"

#include <algorithm>
#include <deque>

namespace kamelo {

CChangeIconThread::CChangeIconThread(std::vector<Item> items, ThumbRecipe recipe,
                                     quint64 generation, QObject* parent, int jobs)
    : QThread(parent), items_(std::move(items)), recipe_(std::move(recipe)),
      generation_(generation), jobs_(std::clamp(jobs, 1, kMaxJobs)) {
    qRegisterMetaType<kamelo::ThumbResult>();
}

CChangeIconThread::~CChangeIconThread() {
    requestStop();
    wait();
}

int CChangeIconThread::defaultJobs() {
    return 1 + std::max(1, QThread::idealThreadCount() - 1);
}

void CChangeIconThread::setFirstVisible(int index) {
    firstVisible_.store(index);
    work_.wake();
}

void CChangeIconThread::requestStop() {
    stop_.store(true);
    work_.wake();
}

void CChangeIconThread::run() {
    const int count = static_cast<int>(items_.size());
    int total = 0, done = 0;
    // Item 0 is the parent entry or a folder wherever there is one; counting
    // from 0 also covers the root, which has none.
    for (int i = 0; i < count; ++i)
        if (items_[size_t(i)].picture) {
            ++total;
            done += items_[size_t(i)].done ? 1 : 0;
        }
    // Items handed out or finished; Item::done marks them.
    int claimed = done;

    // Handed out in walk order and reported in the same order. One thread
    // takes one at a time, exactly as a plain walk would; with helpers a few
    // are handed out ahead so that every thread has one.
    const size_t ahead = jobs_ == 1 ? 1 : size_t(2 * jobs_);
    std::deque<std::shared_ptr<ThumbJobs::Task>> order;
    work_.start(jobs_ - 1);

    int lastVisible = -1;
    int i = 0;
    bool stopped = false;
    while (done < total) {
        if (stop_.load()) {
            stopped = true;
            break;
        }
        const int visible = firstVisible_.load();
        if (visible != lastVisible) {
            lastVisible = visible;
            i = visible;
            // What no thread has started goes back, so the new visible
            // items come next.
            for (auto it = order.begin(); it != order.end();)
                if (work_.drop(**it)) {
                    items_[size_t((*it)->index)].done = false;
                    --claimed;
                    it = order.erase(it);
                } else {
                    ++it;
                }
        }
        while (order.size() < ahead && claimed < total) {
            if (i < 0 || i >= count)
                i = 0; // wrap around
            Item& item = items_[size_t(i)];
            if (item.picture && !item.done) {
                item.done = true;
                ++claimed;
                order.push_back(work_.submit(i, item.path));
            }
            ++i;
        }
        if (order.empty())
            break;
        work_.work(*order.front(),
                   [&] { return stop_.load() || firstVisible_.load() != lastVisible; });
        while (!order.empty() && work_.finished(*order.front())) {
            const std::shared_ptr<ThumbJobs::Task> task = order.front();
            order.pop_front();
            if (task->result.stopped) {
                stopped = true;
                break;
            }
            // A picture that cannot be read keeps its placeholder and counts.
            ++done;
            emit thumbnailReady(generation_, task->index, task->result);
            emit progress(generation_, done * 100 / total);
        }
        if (stopped)
            break;
    }
    work_.finish();
    // Freed here, not by whoever deletes the loader: a folder's worth of
    // paths is tens of milliseconds that would hold the window.
    std::vector<Item>().swap(items_);
    if (!stopped)
        emit allDone(generation_);
    emit progress(generation_, 0);
}

bool CChangeIconThread::stopAndRelease(CChangeIconThread* loader, int timeoutMs) {
    if (!loader)
        return true;
    loader->requestStop();
    if (loader->wait(timeoutMs)) {
        delete loader;
        return true;
    }
    // Stuck in one long decode: whatever it reports from now on reaches no
    // one, and it goes when it ends.
    loader->disconnect();
    loader->setParent(nullptr);
    connect(loader, &QThread::finished, loader, &QObject::deleteLater);
    if (loader->isFinished()) // ended just now, before the connection
        delete loader;
    return false;
}

} // namespace kamelo
