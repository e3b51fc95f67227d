#pragma once

namespace kamelo::edit {

// Makes the rotate and resize tools known: their panels to the edit panel,
// the rotate batch run to the browser's hand-over. Called once at start-up.
void registerResizeRotateTools();

} // namespace kamelo::edit
