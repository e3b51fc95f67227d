#include "histogrambox.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cstdlib>

namespace kamelo::edit {

namespace {
QColor channelColour(int channel) {
    switch (channel) {
    case 1:
        return Qt::red;
    case 2:
        return Qt::green;
    case 3:
        return Qt::blue;
    default:
        return QColor(110, 110, 110);
    }
}
} // namespace

HistogramBox::HistogramBox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("histogram"));
    setFixedSize(sizeHint());
}

QSize HistogramBox::sizeHint() const {
    return {kMargin * 2 + 258, kBoxHeight + kMarkerStrip + 2};
}

void HistogramBox::setHistogram(const LevelsAdjuster::Histogram& counts, int channel) {
    counts_ = counts;
    channel_ = channel & 3;
    update();
}

void HistogramBox::setMarkers(int black, int gamma, int white) {
    markers_[Black] = std::clamp(black, 0, 255);
    markers_[White] = std::clamp(white, 0, 255);
    markers_[Gamma] = std::clamp(gamma, 0, 255);
    update();
}

void HistogramBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect box(kMargin, 0, 258, kBoxHeight);
    p.fillRect(rect(), palette().window());
    p.fillRect(box, Qt::white);
    const uint32_t top = *std::max_element(counts_.begin(), counts_.end());
    const int span = kBoxHeight - 15;
    const int base = kBoxHeight - 11;
    p.setPen(channelColour(channel_));
    if (top > 0)
        for (int i = 0; i < 256; ++i) {
            const int h = int(double(counts_[i]) * span / top);
            if (h > 0)
                p.drawLine(xOf(i), base, xOf(i), base - h);
        }
    QLinearGradient bar(xOf(0), 0, xOf(255), 0);
    bar.setColorAt(0, Qt::black);
    bar.setColorAt(1, channel_ == 0 ? QColor(Qt::white) : channelColour(channel_));
    p.fillRect(QRect(xOf(0), kBoxHeight - 10, 256, 10), bar);
    p.setPen(Qt::black);
    for (int m : markers_)
        p.drawLine(xOf(m), 0, xOf(m), base);
    // The markers: triangles pointing up at their values.
    p.setRenderHint(QPainter::Antialiasing);
    const QColor fills[3] = {Qt::black, QColor(128, 128, 128), Qt::white};
    for (int m = 0; m < 3; ++m) {
        const int x = xOf(markers_[m]);
        const int y = kBoxHeight + 1;
        p.setBrush(fills[m]);
        p.setPen(Qt::black);
        p.drawPolygon(QPolygon({QPoint(x, y), QPoint(x - 5, y + kMarkerStrip - 1),
                                QPoint(x + 5, y + kMarkerStrip - 1)}));
    }
}

int HistogramBox::valueAt(int x) const {
    return std::clamp(x - kMargin - 2, 0, 255);
}

int HistogramBox::limited(Marker m, int v) const {
    switch (m) {
    case Black:
        return std::clamp(v, 0, markers_[White] - 2);
    case White:
        return std::clamp(v, markers_[Black] + 2, 255);
    case Gamma:
        return std::clamp(v, markers_[Black], markers_[White]);
    case None:
        break;
    }
    return v;
}

void HistogramBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const int x = event->position().toPoint().x();
    // The nearest marker within its triangle's half width; gamma first when
    // markers sit on top of one another, so it can always be pulled out.
    grabbed_ = None;
    int best = 7;
    for (Marker m : {Gamma, Black, White}) {
        const int d = std::abs(x - xOf(markers_[m]));
        if (d < best) {
            best = d;
            grabbed_ = m;
        }
    }
}

void HistogramBox::mouseMoveEvent(QMouseEvent* event) {
    if (grabbed_ == None)
        return;
    const int v = limited(grabbed_, valueAt(event->position().toPoint().x()));
    if (v != markers_[grabbed_]) {
        markers_[grabbed_] = v;
        update();
        emit markerMoved(grabbed_, v);
    }
}

void HistogramBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || grabbed_ == None)
        return QWidget::mouseReleaseEvent(event);
    const Marker m = grabbed_;
    grabbed_ = None;
    markers_[m] = limited(m, valueAt(event->position().toPoint().x()));
    update();
    emit markerDropped(m, markers_[m]);
}

} // namespace kamelo::edit
