#pragma once

namespace kamelo {

class SettingsStore;

// Puts the stored colour management switch and rendering intent into effect
// for this run: thumbnails, prints and wallpapers leave in the colours the
// program shows.
void applyColourSettings(const SettingsStore& store);

} // namespace kamelo
