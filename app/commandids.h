#pragma once

// Every command of the two frames, by the number menus, accelerators and
// enabling rules use.
namespace kamelo::cmd {

// Browser frame (menu 120)
inline constexpr int kViewLarge = 1296;
inline constexpr int kAcquire = 32885;
inline constexpr int kNewFolder = 32883;
inline constexpr int kDelete = 1246;
inline constexpr int kDeletePermanently = 1266;
inline constexpr int kExif = 1291;
inline constexpr int kPrint = 32887;
inline constexpr int kAppExit = 57665;
inline constexpr int kCut = 57635;
inline constexpr int kCopy = 57634;
inline constexpr int kPaste = 57637;
inline constexpr int kFrameDecoration = 1297;
inline constexpr int kRotate = 1269;
inline constexpr int kResize = 1264;
inline constexpr int kConvert = 1262;
inline constexpr int kColour = 1303;
inline constexpr int kRename = 1277;
inline constexpr int kBatchRename = 1278;
inline constexpr int kSelectAll = 1267;
inline constexpr int kInvertSelection = 1268;
inline constexpr int kToggleFolderPane = 32897;
inline constexpr int kToggleInfoPane = 32898;
inline constexpr int kToggleStatusBar = 32899;
inline constexpr int kThumbnailView = 59409;
inline constexpr int kDetailsView = 59411;
inline constexpr int kSortByName = 32900;
inline constexpr int kSortBySize = 32901;
inline constexpr int kSortByType = 32902;
inline constexpr int kSortByDate = 32903;
inline constexpr int kSortAscending = 32904;
inline constexpr int kSortDescending = 32905;
inline constexpr int kQuickRefresh = 1282;
inline constexpr int kFullRefresh = 1281;
inline constexpr int kWallpaperCenter = 1254;
inline constexpr int kWallpaperTile = 1255;
inline constexpr int kWallpaperStretch = 1256;
inline constexpr int kWallpaperRestore = 1257;
inline constexpr int kWallpaperButton = 61471;
inline constexpr int kWallpaperMenu = 245;
inline constexpr int kPreferences = 1243;
inline constexpr int kClearCache = 1244;
inline constexpr int kUpdate = 32884;
inline constexpr int kAbout = 57664;
inline constexpr int kFocusAddress = 32896;
// The list's context menu has its own ids for the same commands.
inline constexpr int kContextNewFolder = 32882;
inline constexpr int kContextExif = 1292;
inline constexpr int kContextFrameDecoration = 1301;
inline constexpr int kContextRename = 1279;
inline constexpr int kContextBatchRename = 1280;
inline constexpr int kContextDelete = 1248; // for good with the left Shift key down
inline constexpr int kContextCut = 1253;
inline constexpr int kContextCopy = 1245;
inline constexpr int kContextPaste = 1247;
inline constexpr int kContextQuickRefresh = 1283;
inline constexpr int kContextFullRefresh = 1284;
inline constexpr int kContextSortByName = 32876;
inline constexpr int kContextSortBySize = 32877;
inline constexpr int kContextSortByType = 32878;
inline constexpr int kContextSortByDate = 32879;
inline constexpr int kContextSortAscending = 32880;
inline constexpr int kContextSortDescending = 32881;

// Viewer frame (menu 156)
inline constexpr int kBackToBrowser = 1293;
inline constexpr int kViewerExit = 1251;
inline constexpr int kFullScreen = 1275;
inline constexpr int kEditMode = 1309;
inline constexpr int kNextPicture = 1227;
inline constexpr int kPreviousPicture = 1228;
inline constexpr int kFirstPicture = 1249;
inline constexpr int kLastPicture = 1250;
inline constexpr int kArrowLeft = 1305;
inline constexpr int kArrowRight = 1306;
inline constexpr int kArrowUp = 1307;
inline constexpr int kArrowDown = 1308;
inline constexpr int kZoomIn = 1273;
inline constexpr int kZoomOut = 1274;
inline constexpr int kZoomRatio = 1290;
inline constexpr int kActualSize = 1272;
inline constexpr int kAutoFit = 1271;
inline constexpr int kFixedRatio = 1299;
inline constexpr int kSlideShow = 1300;
inline constexpr int kCopyToClipboard = 1302;
inline constexpr int kViewerDelete = 1276;
inline constexpr int kSave = 57603;
inline constexpr int kSaveAs = 57604;
inline constexpr int kNextFrame = 32907;
inline constexpr int kPreviousFrame = 32908;
inline constexpr int kCrop = 1289;
inline constexpr int kViewerPrint = 32888;

} // namespace kamelo::cmd
