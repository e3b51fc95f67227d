#pragma once

#include "prefs/preferencepage.h"

#include <cstdint>

class QCheckBox;
class QComboBox;
class QPushButton;
class QLabel;

namespace kamelo {
class CUiSettings;
class SettingsStore;
} // namespace kamelo

namespace kamelo::prefs {

// "기타 설정": drawing mode, the viewer's background colour, four switches
// and colour management with its rendering intent. OK writes them to the
// store and the settings object, saves the settings at once and puts the
// colour choices into effect for the whole program.
class CETCPage : public PreferencePage {
    Q_OBJECT
public:
    CETCPage(CUiSettings& settings, SettingsStore& store, QWidget* parent = nullptr);
    void ok() override;

    QComboBox* drawingMode() const { return mode_; }
    QPushButton* colourButton() const { return colourButton_; }
    QCheckBox* useStamp() const { return stamp_; }
    QCheckBox* paintWhileLoading() const { return paint_; }
    QCheckBox* viewRepeat() const { return repeat_; }
    QCheckBox* onlyPictures() const { return only_; }
    QCheckBox* colourManagement() const { return management_; }
    // 0 perceptual, 1 relative colorimetric; usable while colour management is on.
    QComboBox* renderingIntent() const { return intent_; }
    uint32_t colour() const { return colour_; }
    void setColour(uint32_t bgr);

private:
    CUiSettings& settings_;
    SettingsStore& store_;
    QComboBox* mode_;
    QLabel* swatch_;
    QPushButton* colourButton_;
    QCheckBox* stamp_;
    QCheckBox* paint_;
    QCheckBox* repeat_;
    QCheckBox* only_;
    QCheckBox* management_;
    QComboBox* intent_;
    uint32_t colour_ = 0;
};

} // namespace kamelo::prefs
