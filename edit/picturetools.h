#pragma once

namespace kamelo::edit {

// Registers the colour, sharpness and crop panels with the edit panel and
// the colour tool's batch run with the browser's hand-over. Called once at
// start-up; calling again changes nothing.
void registerPictureTools();

} // namespace kamelo::edit
