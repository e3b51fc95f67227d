#pragma once

#include <QPoint>

namespace kamelo {

// The left button's state in the viewer and the last point of a drag that
// pans the picture.
class PanDrag {
public:
    bool down() const { return down_; }
    void setDown(bool down) { down_ = down; }
    void grab(QPoint p) { last_ = p; }
    // The distance moved since the last point; p becomes the last point.
    QPoint moveTo(QPoint p) {
        const QPoint delta = p - last_;
        last_ = p;
        return delta;
    }

private:
    bool down_ = false;
    QPoint last_;
};

} // namespace kamelo
