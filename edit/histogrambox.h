#pragma once

#include "edit/core/levelsadjuster.h"

#include <QColor>
#include <QWidget>

namespace kamelo::edit {

// The colour tool's histogram: one channel's counts as vertical lines over
// a gradient bar, with three markers under it (black point, gamma, white
// point) that the mouse drags.
class HistogramBox : public QWidget {
    Q_OBJECT
public:
    enum Marker { None = -1, Black = 0, Gamma = 1, White = 2 };
    static constexpr int kMargin = 4;      // left of x = 0
    static constexpr int kBoxHeight = 120; // graph and gradient bar
    static constexpr int kMarkerStrip = 12;

    explicit HistogramBox(QWidget* parent = nullptr);

    // channel: 0 RGB (grey lines), 1..3 red, green, blue.
    void setHistogram(const LevelsAdjuster::Histogram& counts, int channel);
    // Positions 0..255 of the three markers.
    void setMarkers(int black, int gamma, int white);
    int marker(Marker m) const { return markers_[m]; }
    // The widget x of a value's line (value + 2 inside the box).
    static int xOf(int value) { return kMargin + value + 2; }
    QSize sizeHint() const override;

signals:
    // While a marker is dragged, and when it is dropped.
    void markerMoved(int marker, int value);
    void markerDropped(int marker, int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int valueAt(int x) const;
    int limited(Marker m, int value) const;

    LevelsAdjuster::Histogram counts_{};
    int channel_ = 0;
    int markers_[3] = {0, 127, 255};
    Marker grabbed_ = None;
};

} // namespace kamelo::edit
