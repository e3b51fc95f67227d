#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

namespace kamelo::test {

// Steps run one after another from the event loop, each once its condition
// holds, so modal dialogs opened inside exec() can be driven like a user
// would: keys to the focused widget, clicks on buttons.
class Script : public QObject {
public:
    struct Step {
        std::function<bool()> ready;
        std::function<void()> act;
    };
    explicit Script(std::vector<Step> steps) : steps_(std::move(steps)) {
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (queued_ || next_ >= steps_.size() || !steps_[next_].ready())
                return;
            // Advanced first, and run from a posted call rather than inside
            // this timeout: an action that opens a modal dialog runs a nested
            // event loop, and Qt never fires a timer again while its own
            // timeout is still being handled, so the later steps would wait
            // forever.
            const size_t i = next_++;
            queued_ = true;
            QMetaObject::invokeMethod(
                this,
                [this, i] {
                    queued_ = false;
                    steps_[i].act();
                },
                Qt::QueuedConnection);
        });
        timer_.start(10);
    }
    bool done() const { return next_ == steps_.size(); }

private:
    std::vector<Step> steps_;
    size_t next_ = 0;
    bool queued_ = false;
    QTimer timer_;
};

// The modal dialog of type T once it has the keyboard focus, as a window
// the user just saw open has.
template <class T = QWidget> T* activeModal() {
    auto* w = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!w || !w->isVisible())
        return nullptr;
    if (!w->isActiveWindow()) {
        w->activateWindow();
        return nullptr;
    }
    return w;
}

} // namespace kamelo::test
