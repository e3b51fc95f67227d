#include "resizerotatetools.h"

#include "resizepanel.h"
#include "rotateops.h"
#include "rotatepanel.h"

namespace kamelo::edit {

void registerResizeRotateTools() {
    EditToolPanel::registerTool(ToolId::Rotate, [](const EditContext& c, QWidget* parent) {
        return static_cast<EditToolPanel*>(new RotatePanel(c, parent));
    });
    EditToolPanel::registerTool(ToolId::Resize, [](const EditContext& c, QWidget* parent) {
        return static_cast<EditToolPanel*>(new ResizePanel(c, parent));
    });
    registerRotateBatch();
}

} // namespace kamelo::edit
