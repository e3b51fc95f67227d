#include "colourstart.h"

#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "imaging/colour/displaycolour.h"

namespace kamelo {

void applyColourSettings(const SettingsStore& store) {
    // Read as the program reads them, so both agree on odd stored values.
    CUiSettings settings;
    settings.load(store);
    using imaging::colour::DisplayColour;
    DisplayColour::setEnabled(settings.colourManagement != 0);
    DisplayColour::setIntent(settings.renderingIntent == 1
                                 ? imaging::colour::Intent::RelativeColorimetric
                                 : imaging::colour::Intent::Perceptual);
}

} // namespace kamelo
