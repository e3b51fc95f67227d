#include "workarea.h"

#include <QGuiApplication>
#include <QScreen>

namespace kamelo {

QRect workArea() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
}

} // namespace kamelo
