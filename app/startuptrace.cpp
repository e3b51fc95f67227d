#include "startuptrace.h"

#include <QDateTime>
#include <QEvent>
#include <QWindow>

#include <cstdio>

namespace kamelo {

namespace {

// Removes itself after the first exposure: no cost on later events.
class FirstExposure : public QObject {
public:
    explicit FirstExposure(QObject* application) : QObject(application) {
        application->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::Expose || !watched->isWindowType())
            return false;
        auto* window = static_cast<QWindow*>(watched);
        if (!window->isExposed())
            return false;
        std::fprintf(stderr, "kamelo-map %lld %dx%d\n",
                     (long long)QDateTime::currentMSecsSinceEpoch(), window->width(),
                     window->height());
        parent()->removeEventFilter(this);
        deleteLater();
        return false;
    }
};

} // namespace

void traceFirstExposure(QObject* application) {
    if (qEnvironmentVariableIntValue("KAMELO_TRACE_PAINT") == 1)
        new FirstExposure(application);
}

} // namespace kamelo
