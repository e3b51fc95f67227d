#include "afterpictureload.h"

#include "viewer/showview.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <vector>

namespace kamelo {

namespace {

// A view hidden or already painted may see no paint: run anyway by then.
constexpr int kPaintWaitMs = 250;

// Runs run from the event loop once the view's next paint is on screen,
// removing itself: the frame it waited for is not held back by it.
class AfterNextPaint : public QObject {
public:
    AfterNextPaint(CShowView* view, std::function<void()> run)
        : QObject(view), run_(std::move(run)) {
        view->installEventFilter(this);
        QTimer::singleShot(kPaintWaitMs, this, [this] { fire(); });
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            QTimer::singleShot(0, this, [this] { fire(); });
        return false;
    }

private:
    void fire() {
        if (!run_)
            return;
        parent()->removeEventFilter(this);
        const std::function<void()> run = std::exchange(run_, nullptr);
        deleteLater();
        run();
    }
    std::function<void()> run_;
};

// Waits for one emission of signal, then goes on with the next stage.
template <typename Signal> void once(CShowView* view, Signal signal, std::function<void()> next) {
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(view, signal, view, [connection, next = std::move(next)] {
        QObject::disconnect(*connection);
        next();
    });
}

void afterSettled(CShowView* view, std::function<void()> run) {
    if (view->isLoading()) {
        // A load ends, or is left, with one more report.
        once(view, &CShowView::progress, [view, run = std::move(run)] { afterSettled(view, run); });
        return;
    }
    // The full decode of a picture shown from a smaller one comes first:
    // the work run starts (an HTTP library, a question) would share the
    // cores with it.
    if (view->isSharpening()) {
        once(view, &CShowView::sharpened,
             [view, run = std::move(run)] { afterSettled(view, run); });
        return;
    }
    new AfterNextPaint(view, std::move(run));
}

} // namespace

void afterPictureLoaded(CShowView* view, std::function<void()> run) {
    if (!view || (!view->isLoading() && !view->isSharpening())) {
        run();
        return;
    }
    afterSettled(view, std::move(run));
}

void afterFirstPicture(CShowView* view, std::function<void()> run) {
    if (!view) {
        run();
        return;
    }
    const auto pending = std::make_shared<std::vector<QMetaObject::Connection>>();
    const auto begin = [view, pending, run = std::move(run)] {
        if (pending->empty())
            return; // said twice at once
        for (const QMetaObject::Connection& c : *pending)
            QObject::disconnect(c);
        pending->clear();
        afterPictureShown(view, run);
    };
    // Also said when the folder's listing comes, perhaps before the picture.
    pending->push_back(QObject::connect(view, &CShowView::pictureChanged, view, [view, begin] {
        if (view->hasPicture())
            begin();
    }));
    pending->push_back(QObject::connect(view, &CShowView::loadFailed, view, begin));
    pending->push_back(QObject::connect(view, &CShowView::nothingToShow, view, begin));
}

void afterPictureShown(CShowView* view, std::function<void()> run) {
    if (!view) {
        run();
        return;
    }
    afterSettled(view, std::move(run));
}

} // namespace kamelo
