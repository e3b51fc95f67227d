#pragma once

#include <QGroupBox>

#include <cstdint>
#include <functional>

class QLabel;
class QLineEdit;
class QSlider;

namespace kamelo::edit {

// The "JPEG 압축 옵션" group of Save As: the quality (0-100) on a slider and
// in a digits-only edit, the picture file's size and the size a JPEG at the
// chosen quality will have. The estimate is made when asked (opening), at
// the end of a slider drag or step and when the edit loses the focus; while
// the thumb is dragged or digits are typed only the other control follows.
class SaveAsJpegPanel : public QGroupBox {
    Q_OBJECT
public:
    static constexpr int kInitialQuality = 96;
    static constexpr int kMaxQuality = 100;
    // Bytes of a JPEG at this quality, or an error code below 1.
    using Estimator = std::function<int64_t(int quality)>;

    explicit SaveAsJpegPanel(QWidget* parent = nullptr);

    void setEstimator(Estimator estimator) { estimator_ = std::move(estimator); }
    // The size of the picture's file; a negative size hides the line (the
    // shown picture no longer is what the file holds).
    void setOriginalSize(int64_t bytes);
    int quality() const;
    // Computes the estimate now, with the wait cursor.
    void estimate();
    // The last estimate in bytes; 0 before the first, an error code after a
    // failed one.
    int64_t estimatedBytes() const { return estimated_; }

    QSlider* slider() const { return slider_; }
    QLineEdit* qualityEdit() const { return edit_; }
    QLabel* originalSizeLabel() const { return original_; }
    QLabel* estimateLabel() const { return estimate_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void sliderMoved(int value);
    void textEdited(const QString& text);

    QSlider* slider_;
    QLineEdit* edit_;
    QLabel* original_;
    QLabel* estimate_;
    Estimator estimator_;
    int64_t estimated_ = 0;
    bool followingEdit_ = false; // the slider moves because digits were typed
};

} // namespace kamelo::edit
