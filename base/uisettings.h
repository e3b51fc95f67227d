#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kamelo {

class SettingsStore;
struct SettingEntry;

// The general settings, loaded once at start-up and written back at exit.
// Every part of the program reads them through uiSettings().
class CUiSettings {
public:
    static constexpr float kDefaultHorzSplitRatio = 0.25f;
    static constexpr float kDefaultVertSplitRatio = 0.7f;

    int thumbWidth = 120;
    int thumbHeight = 100;
    int thumbBorder = 10;
    int itemHorzSpace = 10;
    int itemVertSpace = 10;
    // Kept free below the picture inside a cell for the label; never stored.
    int labelHeight = 15;
    int folderViewShown = 1;
    int infoViewShown = 1;
    float horzSplitRatio = kDefaultHorzSplitRatio;
    float vertSplitRatio = kDefaultVertSplitRatio;
    int infoTab = 0;
    std::string lastFolder;
    int viewType = 0; // 0 thumbnails, 1 details
    int sortBy = 0;   // 0 name, 1 size, 2 type, 3 modification date
    int sortAscend = 1;
    int thumbDesign = 0;
    int backgroundDesign = 0;
    int onlyPictures = 1;
    int paintWhileLoading = 1;
    uint32_t viewerBackgroundColor = 0x808080; // 0x00BBGGRR
    // Pictures are turned upright by their EXIF orientation when read for
    // showing (0: shown as stored).
    int applyOrientation = 1;
    // Pictures are converted from their colour profiles to the display's
    // (0: their values are shown as they are).
    int colourManagement = 1;
    // How colours the display cannot show are brought in: 0 perceptual,
    // 1 relative colorimetric.
    int renderingIntent = 0;

    void load(const SettingsStore& store);
    // Writes every value in one transaction.
    bool save(SettingsStore& store) const;
    // Writes only the values that differ from since (what was loaded), so
    // that values this run never read are left as they are.
    bool saveChanges(SettingsStore& store, const CUiSettings& since) const;
    // The stored form of every value, in a fixed order.
    std::vector<SettingEntry> entries() const;

    // A split ratio is taken only when it is a 4-byte little-endian float
    // strictly between 0 and 1.
    static std::optional<float> decodeSplitRatio(const std::vector<uint8_t>& bytes);
    static std::vector<uint8_t> encodeSplitRatio(float ratio);
    static bool isValidSplitRatio(float ratio) { return ratio > 0.0f && ratio < 1.0f; }
};

// The program-wide settings object and store, published during start-up.
CUiSettings* uiSettings();
void setUiSettings(CUiSettings* settings);
// The published settings, or the defaults before there are any.
const CUiSettings& uiSettingsOrDefaults();
// Whether pictures are turned upright by their EXIF orientation when read
// for showing: the setting, or its default before settings are published.
bool picturesUpright();
SettingsStore* settingsStore();
void setSettingsStore(SettingsStore* store);

} // namespace kamelo
