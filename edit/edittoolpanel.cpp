#include "edittoolpanel.h"

#include <map>

namespace kamelo::edit {

namespace {
std::map<ToolId, EditToolPanel::Factory>& factories() {
    static std::map<ToolId, EditToolPanel::Factory> table;
    return table;
}
} // namespace

void EditToolPanel::registerTool(ToolId tool, Factory factory) {
    factories()[tool] = std::move(factory);
}

EditToolPanel* EditToolPanel::create(ToolId tool, const EditContext& context, QWidget* parent) {
    const auto it = factories().find(tool);
    return it == factories().end() ? nullptr : it->second(context, parent);
}

bool EditToolPanel::hasTool(ToolId tool) {
    return factories().count(tool) != 0;
}

} // namespace kamelo::edit
