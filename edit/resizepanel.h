#pragma once

#include "edittoolpanel.h"

class QPushButton;

namespace kamelo::edit {

class ResizeForm;

// "크기 변환" on the viewer's picture: the resize choices without a save
// group; OK resizes the picture in memory, a refused size says so and keeps
// the panel open.
class ResizePanel : public EditToolPanel {
    Q_OBJECT
public:
    explicit ResizePanel(const EditContext& context, QWidget* parent = nullptr);
    void enterPressed() override { ok(); }
    ResizeForm* form() const { return form_; }

private:
    void ok();

    ResizeForm* form_;
};

} // namespace kamelo::edit
