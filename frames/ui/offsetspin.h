#pragma once

#include <QElapsedTimer>
#include <QSpinBox>

namespace kamelo::frames {

// The arrows beside an offset or alpha edit. Held down, it steps faster the
// longer it is held (PanelRules::accelerationStep).
class OffsetSpin : public QSpinBox {
    Q_OBJECT
public:
    explicit OffsetSpin(QWidget* parent = nullptr);
    void stepBy(int steps) override;

private:
    QElapsedTimer held_;
    qint64 last_ = 0;
};

} // namespace kamelo::frames
