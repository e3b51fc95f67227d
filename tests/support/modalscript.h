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
            if (next_ < steps_.size() && steps_[next_].ready()) {
                // Advanced first: the action may open a nested event loop.
                const size_t i = next_++;
                steps_[i].act();
            }
        });
        timer_.start(10);
    }
    bool done() const { return next_ == steps_.size(); }

private:
    std::vector<Step> steps_;
    size_t next_ = 0;
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
