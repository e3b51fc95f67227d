#include "offsetspin.h"

#include "panelrules.h"

namespace kamelo::frames {

namespace {
// Auto-repeat steps come every 100 ms after a 500 ms wait; a longer pause
// starts a new press.
constexpr qint64 kNewPressGapMs = 700;
} // namespace

OffsetSpin::OffsetSpin(QWidget* parent) : QSpinBox(parent) {
    // The number shows in the edit beside it; this is its arrows only.
    setFixedWidth(18);
    setFocusPolicy(Qt::NoFocus);
}

void OffsetSpin::stepBy(int steps) {
    if (!held_.isValid() || held_.elapsed() - last_ > kNewPressGapMs) {
        held_.start();
        last_ = 0;
    } else {
        last_ = held_.elapsed();
    }
    QSpinBox::stepBy(steps * PanelRules::accelerationStep(last_));
}

} // namespace kamelo::frames
