#pragma once

#include <functional>
#include <string>

class QWidget;

namespace kamelo {
class CUiSettings;
class SettingsStore;
} // namespace kamelo

namespace kamelo::prefs {

// Opens the preferences sheet over parent; true when it was confirmed (the
// pages have written their values and the settings are saved). applied runs
// after each "적용", with the values written and saved, the sheet still open.
bool runPreferences(QWidget* parent, CUiSettings& settings, SettingsStore& store,
                    const std::string& programFolder, const std::function<void()>& applied = {});
void runAbout(QWidget* parent);

} // namespace kamelo::prefs
