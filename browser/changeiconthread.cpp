#include "changeiconthread.h"

namespace kamelo {

CChangeIconThread::CChangeIconThread(std::vector<Item> items, ThumbRecipe recipe,
                                     quint64 generation, QObject* parent)
    : QThread(parent), items_(std::move(items)), recipe_(std::move(recipe)),
      generation_(generation) {
    qRegisterMetaType<kamelo::ThumbResult>();
}

CChangeIconThread::~CChangeIconThread() {
    requestStop();
    wait();
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

    int lastVisible = -1;
    int i = 0;
    while (done < total) {
        if (stop_.load()) {
            emit progress(generation_, 0);
            return;
        }
        const int visible = firstVisible_.load();
        if (visible != lastVisible) {
            lastVisible = visible;
            i = visible;
        }
        if (i < 0 || i >= count)
            i = 0; // wrap around
        Item& item = items_[size_t(i)];
        if (item.picture && !item.done) {
            ThumbResult r =
                ThumbRenderer::render(item.path, recipe_, [this] { return stop_.load(); });
            if (r.stopped) {
                emit progress(generation_, 0);
                return;
            }
            // A picture that cannot be read keeps its placeholder and counts.
            item.done = true;
            ++done;
            emit thumbnailReady(generation_, i, r);
            emit progress(generation_, done * 100 / total);
        }
        ++i;
    }
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
