#include "uisettings.h"

#include "settingskeys.h"
#include "settingsstore.h"

#include <cstring>

namespace kamelo {

namespace {

CUiSettings* g_uiSettings = nullptr;
SettingsStore* g_settingsStore = nullptr;

float readRatio(const SettingsStore& store, const char* key, float def) {
    auto bytes = store.getBinary(keys::kUiSettings, key);
    if (!bytes)
        return def;
    return CUiSettings::decodeSplitRatio(*bytes).value_or(def);
}

} // namespace

CUiSettings* uiSettings() {
    return g_uiSettings;
}
void setUiSettings(CUiSettings* settings) {
    g_uiSettings = settings;
}
const CUiSettings& uiSettingsOrDefaults() {
    static const CUiSettings defaults;
    return g_uiSettings ? *g_uiSettings : defaults;
}

bool picturesUpright() {
    return !g_uiSettings || g_uiSettings->applyOrientation != 0;
}
SettingsStore* settingsStore() {
    return g_settingsStore;
}
void setSettingsStore(SettingsStore* store) {
    g_settingsStore = store;
}

std::optional<float> CUiSettings::decodeSplitRatio(const std::vector<uint8_t>& bytes) {
    if (bytes.size() != 4)
        return std::nullopt;
    uint32_t bits = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                    uint32_t(bytes[3]) << 24;
    float ratio;
    std::memcpy(&ratio, &bits, sizeof ratio);
    // NaN fails both comparisons and so falls back to the default too.
    if (!isValidSplitRatio(ratio))
        return std::nullopt;
    return ratio;
}

std::vector<uint8_t> CUiSettings::encodeSplitRatio(float ratio) {
    uint32_t bits;
    std::memcpy(&bits, &ratio, sizeof bits);
    return {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), uint8_t(bits >> 24)};
}

void CUiSettings::load(const SettingsStore& s) {
    using namespace keys;
    thumbWidth = s.getInt(kThumb, kThumbWidth, 120);
    thumbHeight = s.getInt(kThumb, kThumbHeight, 100);
    thumbBorder = s.getInt(kThumb, kThumbBorder, 10);
    itemHorzSpace = s.getInt(kThumb, kItemHorzSpace, 10);
    itemVertSpace = s.getInt(kThumb, kItemVertSpace, 10);
    labelHeight = 15;
    folderViewShown = s.getInt(kUiSettings, kFolderViewShowState, 1);
    infoViewShown = s.getInt(kUiSettings, kInfoViewShowState, 1);
    horzSplitRatio = readRatio(s, kHorzSplitRatio, kDefaultHorzSplitRatio);
    vertSplitRatio = readRatio(s, kVertSplitRatio, kDefaultVertSplitRatio);
    infoTab = s.getInt(kGeneralLower, kInfoViewTabSelection, 0);
    lastFolder = s.getString(kGeneral, kLastFolder, "");
    viewType = s.getInt(kGeneral, kBrowserModeViewType, 0);
    sortBy = s.getInt(kGeneral, kSortBy, 0);
    sortAscend = s.getInt(kGeneral, kSortAscend, 1);
    thumbDesign = s.getInt(kGeneral, kThumbDesign, 0);
    backgroundDesign = s.getInt(kGeneral, kBackgroundDesign, 0);
    onlyPictures = s.getInt(kGeneral, kOnlyPictures, 1);
    paintWhileLoading = s.getInt(kGeneral, kPaintWhileLoading, 1);
    viewerBackgroundColor =
        static_cast<uint32_t>(s.getInt(kGeneralLower, kViewerBackgroundColor, 0x808080));
    applyOrientation = s.getInt(kGeneral, kApplyOrientation, kApplyOrientationDefault);
    colourManagement = s.getInt(kGeneral, kColorManagement, kColorManagementDefault);
    // Any other number is no intent this program offers.
    renderingIntent = s.getInt(kGeneral, kRenderingIntent, kRenderingIntentDefault) == 1 ? 1 : 0;
}

std::vector<SettingEntry> CUiSettings::entries() const {
    using namespace keys;
    std::vector<SettingEntry> out;
    const auto add = [&](const char* section, const char* name, SettingType type) -> SettingEntry& {
        SettingEntry& e = out.emplace_back();
        e.key = SettingsStore::sectionKey(section);
        e.name = name;
        e.type = type;
        return e;
    };
    const auto addInt = [&](const char* section, const char* name, int32_t value) {
        add(section, name, SettingType::Int32).intValue = value;
    };
    addInt(kThumb, kThumbWidth, thumbWidth);
    addInt(kThumb, kThumbHeight, thumbHeight);
    addInt(kThumb, kThumbBorder, thumbBorder);
    addInt(kThumb, kItemHorzSpace, itemHorzSpace);
    addInt(kThumb, kItemVertSpace, itemVertSpace);
    addInt(kUiSettings, kFolderViewShowState, folderViewShown);
    addInt(kUiSettings, kInfoViewShowState, infoViewShown);
    add(kUiSettings, kHorzSplitRatio, SettingType::Binary).binaryValue =
        encodeSplitRatio(horzSplitRatio);
    add(kUiSettings, kVertSplitRatio, SettingType::Binary).binaryValue =
        encodeSplitRatio(vertSplitRatio);
    addInt(kGeneralLower, kInfoViewTabSelection, infoTab);
    add(kGeneral, kLastFolder, SettingType::String).stringValue = lastFolder;
    addInt(kGeneral, kBrowserModeViewType, viewType);
    addInt(kGeneral, kSortBy, sortBy);
    addInt(kGeneral, kSortAscend, sortAscend);
    addInt(kGeneral, kThumbDesign, thumbDesign);
    addInt(kGeneral, kBackgroundDesign, backgroundDesign);
    addInt(kGeneral, kOnlyPictures, onlyPictures);
    addInt(kGeneral, kPaintWhileLoading, paintWhileLoading);
    addInt(kGeneralLower, kViewerBackgroundColor, static_cast<int32_t>(viewerBackgroundColor));
    addInt(kGeneral, kApplyOrientation, applyOrientation);
    addInt(kGeneral, kColorManagement, colourManagement);
    addInt(kGeneral, kRenderingIntent, renderingIntent);
    return out;
}

bool CUiSettings::save(SettingsStore& s) const {
    SettingsStore::Batch batch(s);
    bool ok = true;
    for (const SettingEntry& e : entries())
        ok &= s.write(e);
    return batch.commit() && ok;
}

bool CUiSettings::saveChanges(SettingsStore& s, const CUiSettings& since) const {
    const std::vector<SettingEntry> now = entries(), before = since.entries();
    SettingsStore::Batch batch(s);
    bool ok = true;
    for (size_t i = 0; i < now.size(); ++i)
        if (!(now[i] == before[i]))
            ok &= s.write(now[i]);
    return batch.commit() && ok;
}

} // namespace kamelo
