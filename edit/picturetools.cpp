#include "picturetools.h"

#include "batchhandover.h"
#include "colourpanel.h"
#include "croppanel.h"
#include "levelspicture.h"
#include "resources/stringtable.h"
#include "sharpnesspanel.h"
#include "viewer/eyedoc.h"

namespace kamelo::edit {

namespace {
template <class Panel> EditToolPanel::Factory factory() {
    return [](const EditContext& context, QWidget* parent) -> EditToolPanel* {
        if (!context.view || !context.doc || !context.doc->displayed().isAllocated())
            return nullptr;
        return new Panel(context, parent);
    };
}

// Sharpness and crop work on the viewer's picture only.
template <class Panel> EditToolPanel::Factory viewerOnly() {
    return [](const EditContext& context, QWidget* parent) -> EditToolPanel* {
        if (context.handOver)
            return nullptr;
        return factory<Panel>()(context, parent);
    };
}
} // namespace

void registerPictureTools() {
    EditToolPanel::registerTool(ToolId::Colour, factory<ColourPanel>());
    EditToolPanel::registerTool(ToolId::Sharpness, viewerOnly<SharpnessPanel>());
    EditToolPanel::registerTool(ToolId::Crop, viewerOnly<CropPanel>());

    BatchOperation colour;
    colour.titleId = res::IDS_COLOUR_TITLE;
    colour.askBeforeOverwrite = true;
    colour.newRecord = [] { return std::any(ColourRecord{}); };
    colour.step = [](imaging::Bitmap& picture, const std::any* record, std::string&) {
        const ColourRecord* r = record ? std::any_cast<ColourRecord>(record) : nullptr;
        return LevelsPicture::runRecord(picture, r ? *r : ColourRecord{});
    };
    BatchHandOver::registerOperation(EditTool::Colour, std::move(colour));
}

} // namespace kamelo::edit
