#pragma once

#include "prefs/preferencepage.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

namespace kamelo {
class CUiSettings;
}

namespace kamelo::prefs {

// "미리보기 설정": thumbnail width, height and border, the cell design and
// the list background, with a preview cell of SAMPLE.JPG.
class CThumbnailPage : public PreferencePage {
    Q_OBJECT
public:
    CThumbnailPage(CUiSettings& settings, const QString& samplePath, QWidget* parent = nullptr);
    void ok() override;

    int thumbWidth() const;
    int thumbHeight() const;
    int thumbBorder() const;
    QSlider* widthSlider() const { return widthSlider_; }
    QSlider* heightSlider() const { return heightSlider_; }
    QSlider* borderSlider() const { return borderSlider_; }
    QLineEdit* widthField() const { return widthField_; }
    QLineEdit* heightField() const { return heightField_; }
    QLineEdit* borderField() const { return borderField_; }
    QComboBox* designList() const { return design_; }
    QComboBox* backgroundList() const { return background_; }
    QLabel* preview() const { return preview_; }

private:
    void bind(QSlider* slider, QLineEdit* field, int min, int max, bool inverted);
    void redrawPreview();

    CUiSettings& settings_;
    QString samplePath_;
    QSlider* widthSlider_;
    QSlider* heightSlider_;
    QSlider* borderSlider_;
    QLineEdit* widthField_;
    QLineEdit* heightField_;
    QLineEdit* borderField_;
    QComboBox* design_;
    QComboBox* background_;
    QLabel* preview_;
};

} // namespace kamelo::prefs
