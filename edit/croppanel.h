#pragma once

#include "edittoolpanel.h"
#include "viewer/core/selectiongeometry.h"

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
    void sizeTyped(bool widthTyped);
    void showSize(int width, int height);
    // The view's selection, in picture pixels, as OK would cut it.
    SelectionRect cropRect() const;

    QPointer<CShowView> view_;
    QComboBox* list_ = nullptr;
    QCheckBox* hold_ = nullptr;
    QCheckBox* swap_ = nullptr;
    QSpinBox* width_ = nullptr;
    QSpinBox* height_ = nullptr;
    QLabel* help_ = nullptr;
    // A size typed in the edits is cut exactly as shown, while the view's
    // selection stays where the typing left it (typedSeen_): its window
    // rectangle alone would give it back rounded by the zoom.
    bool typed_ = false;
    SelectionRect typedRect_;
    SelectionRect typedSeen_;
};

} // namespace kamelo::edit
