#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace kamelo {

// The viewer's zoom state: the mode (actual size, automatic fit, fixed
// ratio), the factor, whether the user zoomed, and the pan offset, with the
// changes a load, a zoom command, a resize or a drag make to them.
class ViewZoom {
public:
    enum Mode { kActualSize = 0, kAutoFit = 1, kFixedRatio = 2 };

    double factor() const { return factor_; }
    int mode() const { return mode_; }
    bool userZoom() const { return userZoom_; }
    QPoint pan() const { return pan_; }
    // Automatic fit without a user zoom: the picture follows the window.
    bool fitting() const { return mode_ == kAutoFit && !userZoom_; }

    // The mode read from the settings (out of range reads as actual size).
    void restoreMode(int mode) { mode_ = mode >= 0 && mode <= 2 ? mode : kActualSize; }
    // The picture's rectangle in a client area.
    QRect layout(QSize picture, QSize client) const;

    // A new picture: no user zoom, no pan, the mode's factor.
    void startPicture();
    void prepare(QSize picture, QSize client);
    // After the picture is in memory (automatic fit takes its real size).
    void fitLoaded(QSize picture, QSize client);
    void resetPan() { pan_ = QPoint(); }

    // A user zoom to newFactor keeping the view's centre on the same spot.
    void zoomTo(double newFactor, QSize picture, QSize client);
    // False when nothing changes on screen (fixed ratio keeps everything).
    bool setMode(int mode, QSize picture, QSize client);
    // After a resize: true when the factor followed the window (automatic
    // fit); then the pan pulls the far edge back to the window's edge.
    bool followWindow(QSize picture, QSize client);
    void keepPanInside(QSize picture, QSize client);
    // A drag by delta, limited to the picture's edges; returns the move.
    QPoint panBy(QPoint delta, QSize picture, QSize client);

private:
    double factor_ = 1.0;
    int mode_ = kAutoFit;
    bool userZoom_ = false;
    QPoint pan_;
};

} // namespace kamelo
