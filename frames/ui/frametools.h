#pragma once

#include <string>

namespace kamelo::frames {

// Registers the frame panel with the edit panel (skins from skinFolder) and
// the frame tool's batch run with the browser's hand-over. Called at
// start-up; calling again replaces the earlier registration.
void registerFrameTool(const std::string& skinFolder);

} // namespace kamelo::frames
