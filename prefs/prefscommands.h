#pragma once

#include <string>

class QWidget;

namespace kamelo {
class CUiSettings;
class SettingsStore;
} // namespace kamelo

namespace kamelo::prefs {

// Opens the preferences sheet over parent; true when it was confirmed (the
// pages have written their values and the settings are saved).
bool runPreferences(QWidget* parent, CUiSettings& settings, SettingsStore& store,
                    const std::string& programFolder);
void runAbout(QWidget* parent);

} // namespace kamelo::prefs
