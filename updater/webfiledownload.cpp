#include "updater/webfiledownload.h"

#include "updater/webfileworker.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>

#include <mutex>
#include <semaphore>

namespace vela {

std::atomic<int>& webFileAbortFlag() {
    static std::atomic<int> flag{0};
    return flag;
}

std::atomic<int>& webFileStoppedMarker() {
    static std::atomic<int> marker{0};
    return marker;
}

struct WebFileDownload::Link {
    std::mutex mutex;
    WebFileDownload* window = nullptr;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> running{false};
    // A notice is being handled on the window's thread right now.
    bool inNotice = false;
};

namespace {

// Posts the notice to the window's thread and waits for it to run. When
// the window dies first its queued event is dropped, which drops the guard
// and so ends the wait as well.
bool sendNotice(const std::shared_ptr<WebFileDownload::Link>& link,
                const std::function<void(WebFileDownload*)>& notice) {
    auto done = std::make_shared<std::binary_semaphore>(0);
    std::shared_ptr<void> guard(nullptr, [done](void*) { done->release(); });
    {
        std::lock_guard lock(link->mutex);
        WebFileDownload* window = link->window;
        if (!window)
            return false;
        QMetaObject::invokeMethod(
            window,
            [window, notice, guard, link]() {
                link->inNotice = true;
                notice(window);
                link->inNotice = false;
            },
            Qt::QueuedConnection);
    }
    guard.reset();
    done->acquire();
    return true;
}

} // namespace

WebFileDownload::WebFileDownload(QObject* parent)
    : QObject(parent), link_(std::make_shared<Link>()) {
    link_->window = this;
}

WebFileDownload::~WebFileDownload() {
    {
        std::lock_guard lock(link_->mutex);
        link_->window = nullptr;
    }
    link_->cancelled = true;
    // A notice the worker waits for would otherwise only be dropped after
    // this destructor, which waits for the worker.
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    // Destroyed from inside a notice handler: that worker waits for the
    // handler to return, so it cannot be waited for here. It ends on its
    // own: it finds no window and its cancel flag set.
    const bool fromNotice = link_->inNotice;
    for (auto& w : workers_) {
        if (fromNotice)
            w.thread.detach();
        else
            w.thread.join();
    }
}

bool WebFileDownload::isRunning() const {
    return link_->running;
}

bool WebFileDownload::start(const WebFileRequest& request) {
    if (link_->running)
        return false;
    std::erase_if(workers_, [](Worker& w) {
        if (!*w.exited)
            return false;
        w.thread.join();
        return true;
    });
    link_->running = true;
    auto link = link_;
    auto exited = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([link, request, exited]() {
        auto send = [&link](std::function<void(WebFileDownload*)> notice) {
            return sendNotice(link, notice);
        };
        auto last = runWebFileDownload(request, send, link->cancelled);
        link->running = false;
        send(last);
        *exited = true;
    });
    workers_.push_back({std::move(thread), exited});
    return true;
}

} // namespace vela
