#pragma once

#include "edit/core/conversionformat.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QSlider;

namespace kamelo::edit {

// "파일 포맷 변환": the target format and, for JPG, WEBP and AVIF, the quality
// slider (its best position writes WebP and AVIF losslessly).
class ConvertFormatDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConvertFormatDialog(const ConvertSettings& initial, QWidget* parent = nullptr);

    ConvertSettings settings() const;

private:
    void updateQualityEnabled();
    void updateQualityLabel(int position);

    QComboBox* format_;
    QSlider* slider_;
    QLabel* qualityName_;
};

} // namespace kamelo::edit
