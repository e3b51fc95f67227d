#include "afterpictureload.h"

#include "viewer/showview.h"

#include <QTimer>

#include <memory>

namespace kamelo {

void afterPictureLoaded(CShowView* view, std::function<void()> run) {
    if (!view || !view->isLoading()) {
        run();
        return;
    }
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(view, &CShowView::progress, view,
                                   [view, connection, run = std::move(run)](int) {
                                       // A load ends, or is left, with one more report.
                                       if (view->isLoading())
                                           return;
                                       // From the event loop, after the last band's paint.
                                       QTimer::singleShot(0, view, run);
                                       QObject::disconnect(*connection);
                                   });
}

} // namespace kamelo
