#pragma once

#include "edittoolpanel.h"
#include "imaging/bitmap.h"

#include <array>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace kamelo::edit {

// "선명하게": sharpen, Gaussian blur or unsharp mask of the viewer's
// picture, every action starting again from the picture as the panel found
// it.
class SharpnessPanel : public EditToolPanel {
    Q_OBJECT
public:
    static constexpr const char* kChoiceKey = "Sharpness Radio Button";
    static constexpr const char* kAmountKey = "Unsharpmask Amount";
    static constexpr const char* kRadiusKey = "Unsharpmask Radius";
    static constexpr const char* kThresholdKey = "Unsharpmask Threshold";

    SharpnessPanel(const EditContext& context, QWidget* parent = nullptr);

    void enterPressed() override;

private:
    void choose(int choice);
    void enableFor(int choice);
    void sharpen();
    void blur();
    void unsharp();
    // The picture as the panel found it, before every action.
    void restore();
    void ok();
    void shown();

    imaging::Bitmap copy_;
    QButtonGroup* choices_ = nullptr;
    QSlider* sharpenSlider_ = nullptr;
    QLabel* sharpenLabel_ = nullptr;
    QSlider* blurSlider_ = nullptr;
    QLabel* blurLabel_ = nullptr;
    std::array<QLineEdit*, 3> numbers_{};
    QPushButton* apply_ = nullptr;
    int savedChoice_ = 0;
    bool changed_ = false; // unsharp numbers edited and not applied
    bool applied_ = false; // some action ran since the panel opened
};

} // namespace kamelo::edit
