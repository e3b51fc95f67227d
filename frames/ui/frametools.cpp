#include "frametools.h"

#include "edit/batchhandover.h"
#include "edit/edittoolpanel.h"
#include "framepanel.h"
#include "frames/framebatch.h"
#include "resources/qtstrings.h"
#include "viewer/eyedoc.h"

#include <QMessageBox>

namespace kamelo::frames {

void registerFrameTool(const std::string& skinFolder) {
    edit::EditToolPanel::registerTool(
        edit::ToolId::Frame,
        [skinFolder](const edit::EditContext& context, QWidget* parent) -> edit::EditToolPanel* {
            if (!context.view || !context.doc || !context.doc->displayed().isAllocated())
                return nullptr;
            bool noIni = false;
            std::vector<SkinEntry> skins = listSkins(skinFolder, &noIni);
            if (noIni) {
                QMessageBox::warning(parent, res::qtext(res::IDS_FRAME_TOOL),
                                     res::qtext(res::IDS_MSG_NO_FRAME_SKIN));
                return nullptr;
            }
            return new FramePanel(context, std::move(skins), parent);
        });
    edit::BatchHandOver::registerOperation(edit::EditTool::Frame, frameBatchOperation());
}

} // namespace kamelo::frames
