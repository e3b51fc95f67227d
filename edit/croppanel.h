#pragma once

#include "edittoolpanel.h"

#include <QPointer>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;

namespace kamelo::edit {

// "자르기": the viewer's selection held, when asked, to a proportion, its
// size typed in picture pixels, and the picture cut down to it on OK.
class CropPanel : public EditToolPanel {
    Q_OBJECT
public:
    static constexpr const char* kHoldKey = "Crop Proportion";
    static constexpr const char* kSwapKey = "Crop Proportion Vertical";
    static constexpr const char* kSelectKey = "Crop Proportion Select";

    CropPanel(const EditContext& context, QWidget* parent = nullptr);
    ~CropPanel() override;

    void enterPressed() override;
    void viewDoubleClicked() override;
    // Cuts the picture to the selection; false (nothing changed) without one.
    bool ok();

private:
    void passProportion();
    void sizeTyped();
    void selectionChanged(int width, int height);

    QPointer<CShowView> view_;
    QComboBox* list_ = nullptr;
    QCheckBox* hold_ = nullptr;
    QCheckBox* swap_ = nullptr;
    QSpinBox* width_ = nullptr;
    QSpinBox* height_ = nullptr;
    QLabel* help_ = nullptr;
};

} // namespace kamelo::edit
