#pragma once

// Sections and keys of the application core. Section names are matched without
// regard to case; each is written in the form its readers use.
namespace kamelo::keys {

inline constexpr const char* kThumb = "Thumb";
inline constexpr const char* kUiSettings = "UI settings";
inline constexpr const char* kGeneral = "General";
inline constexpr const char* kGeneralLower = "general";
inline constexpr const char* kPosition = "position";
inline constexpr const char* kCache = "cache";
// Sub-key removed when the thumbnail cache is invalidated.
inline constexpr const char* kCacheSubKey = "Cache";

inline constexpr const char* kThumbWidth = "Thumb Width";
inline constexpr const char* kThumbHeight = "Thumb Height";
inline constexpr const char* kThumbBorder = "Thumb Border";
inline constexpr const char* kItemHorzSpace = "Item Horz Space";
inline constexpr const char* kItemVertSpace = "Item Vert Space";
inline constexpr const char* kFolderViewShowState = "Folder view show state";
inline constexpr const char* kInfoViewShowState = "Info view show state";
inline constexpr const char* kHorzSplitRatio = "Horz Split Ratio";
inline constexpr const char* kVertSplitRatio = "Vert Split Ratio";
inline constexpr const char* kInfoViewTabSelection = "Info view tab selection";
inline constexpr const char* kLastFolder = "Last Folder";
inline constexpr const char* kBrowserModeViewType = "Browser Mode View Type";
inline constexpr const char* kSortBy = "Sort By";
inline constexpr const char* kSortAscend = "Sort Ascend";
inline constexpr const char* kThumbDesign = "Thumb Design";
inline constexpr const char* kBackgroundDesign = "Background Design";
inline constexpr const char* kOnlyPictures = "Only Pictures";
inline constexpr const char* kPaintWhileLoading = "Paint While Loading";
inline constexpr const char* kViewerBackgroundColor = "Viewer Background Color";
inline constexpr const char* kApplyOrientation = "Apply Orientation";
// Pictures shown in their profiles' colours on the display's profile.
inline constexpr const char* kColorManagement = "Color Management";
// 0 perceptual, 1 relative colorimetric.
inline constexpr const char* kRenderingIntent = "Rendering Intent";

inline constexpr const char* kBrowserX = "browser x";
inline constexpr const char* kBrowserY = "browser y";
inline constexpr const char* kBrowserCx = "browser cx";
inline constexpr const char* kBrowserCy = "browser cy";
inline constexpr const char* kBrowserMaximize = "browser maximize";
inline constexpr const char* kViewerX = "viewer x";
inline constexpr const char* kViewerY = "viewer y";
inline constexpr const char* kViewerCx = "viewer cx";
inline constexpr const char* kViewerCy = "viewer cy";
inline constexpr const char* kViewerMaximize = "viewer maximize";
inline constexpr int kBrowserMaximizeDefault = 0;
inline constexpr int kViewerMaximizeDefault = 1;

inline constexpr const char* kShowEditBar = "Show Edit Bar";
inline constexpr const char* kCacheFileVersion = "Cache File Version";
inline constexpr const char* kCheckFileAssociation = "check file association";
inline constexpr const char* kUseStamp = "Use Stamp";
inline constexpr const char* kCacheCount = "cache count";
// In the cache index: 1 when its thumbnails were turned upright.
inline constexpr const char* kCacheOrientation = "cache orientation";
// In the cache index: how its thumbnails' colours were made (0 the pictures'
// own values, 1 + rendering intent when converted to sRGB).
inline constexpr const char* kCacheColour = "cache colour";

inline constexpr int kShowEditBarDefault = 0;
inline constexpr int kCacheFileVersionDefault = 0;
inline constexpr int kCheckFileAssociationDefault = 0;
inline constexpr int kUseStampDefault = 1;
inline constexpr int kApplyOrientationDefault = 1;
inline constexpr int kColorManagementDefault = 1;
inline constexpr int kRenderingIntentDefault = 0;
// The thumbnail cache format that this program writes.
inline constexpr int kCurrentCacheFileVersion = 2;

} // namespace kamelo::keys
