#pragma once

#include <QElapsedTimer>
#include <QEvent>
#include <QObject>

namespace kamelo::bench {

// Seconds from clock's start to the first and the last paint of the widget
// it filters.
struct PaintClock : QObject {
    QElapsedTimer clock;
    double first = -1, last = -1;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            last = clock.nsecsElapsed() / 1e9;
            if (first < 0)
                first = last;
        }
        return false;
    }
};

} // namespace kamelo::bench
