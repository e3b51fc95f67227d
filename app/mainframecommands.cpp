#include "mainframe.h"

#include "app/commandids.h"
#include "app/commandtable.h"
#include "app/displaycolourlink.h"
#include "app/eyeapp.h"
#include "app/programseams.h"
#include "app/showframe.h"
#include "base/settingsstore.h"
#include "base/thumbcachereset.h"
#include "browser/batchrenamedialog.h"
#include "browser/browseview.h"
#include "browser/core/cacheindex.h"
#include "browser/infoview.h"
#include "browser/leftview.h"
#include "browser/listfileactions.h"
#include "browser/newfolderdialog.h"
#include "browser/shelltreemodel.h"
#include "browser/thumbfolder.h"
#include "browser/thumblistctrl.h"
#include "browser/thumblistmodel.h"
#include "desktop/wallpapercommand.h"
#include "edit/batchhandover.h"
#include "edit/conversioncommands.h"
#include "edit/resizedialog.h"
#include "exif/exifdialog.h"
#include "import/acquirewizard.h"
#include "platform/removabledevices.h"
#include "prefs/prefscommands.h"
#include "print/printcontroller.h"
#include "resources/qtstrings.h"
#include "resources/stringtable.h"
#include "update/updatecheck.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QStatusBar>

namespace kamelo {

// The browser's commands: each id's action, its enabling rule and what it does.
void CMainFrame::buildCommands() {
    using namespace cmd;
    using K = QKeySequence;
    CommandTable& c = *commands_;
    c.add(kViewLarge, res::IDS_MENU_VIEW_LARGE, {K(Qt::Key_Return), K(Qt::Key_Enter)});
    c.add(kAcquire, res::IDS_MENU_ACQUIRE, {K(Qt::CTRL | Qt::Key_Q)});
    c.add(kNewFolder, res::IDS_MENU_NEW_FOLDER_ACCEL, {K(Qt::CTRL | Qt::Key_W)});
    c.add(kDelete, res::IDS_MENU_DELETE_ACCEL, {K(Qt::Key_Delete)});
    c.addHidden(kDeletePermanently, {K(Qt::SHIFT | Qt::Key_Delete)});
    c.add(kExif, res::IDS_MENU_EXIF_ACCEL, {K(Qt::CTRL | Qt::Key_E)});
    c.add(kPrint, res::IDS_MENU_PRINT_ACCEL, {K(Qt::CTRL | Qt::Key_P)});
    c.add(kAppExit, res::IDS_MENU_EXIT);
    c.add(kCut, res::IDS_MENU_CUT, {K(Qt::CTRL | Qt::Key_X)});
    c.add(kCopy, res::IDS_MENU_COPY, {K(Qt::CTRL | Qt::Key_C)});
    c.add(kPaste, res::IDS_MENU_PASTE, {K(Qt::CTRL | Qt::Key_V)});
    c.add(kRename, res::IDS_MENU_RENAME_ACCEL, {K(Qt::Key_F2)});
    c.add(kBatchRename, res::IDS_MENU_BATCH_RENAME_ACCEL, {K(Qt::CTRL | Qt::Key_F2)});
    c.add(kSelectAll, res::IDS_MENU_SELECT_ALL_ACCEL, {K(Qt::CTRL | Qt::Key_A)});
    c.add(kInvertSelection, res::IDS_MENU_INVERT_SELECTION, {K(Qt::CTRL | Qt::Key_I)});
    c.add(kFrameDecoration, res::IDS_MENU_FRAME_ACCEL, {K(Qt::CTRL | Qt::Key_D)});
    c.add(kContextFrameDecoration, res::IDS_MENU_FRAME_CONTEXT);
    c.add(kRotate, res::IDS_MENU_ROTATE_ACCEL, {K(Qt::CTRL | Qt::Key_J)});
    c.add(kResize, res::IDS_MENU_RESIZE_ACCEL, {K(Qt::CTRL | Qt::Key_R)});
    c.add(kConvert, res::IDS_MENU_CONVERT_ACCEL, {K(Qt::CTRL | Qt::Key_F)});
    c.add(kColour, res::IDS_MENU_COLOUR_ACCEL, {K(Qt::CTRL | Qt::Key_H)});
    c.add(kToggleFolderPane, res::IDS_MENU_FOLDER_PANE);
    c.add(kToggleInfoPane, res::IDS_MENU_INFO_PANE);
    c.add(kToggleStatusBar, res::IDS_MENU_STATUS_BAR);
    c.add(kThumbnailView, res::IDS_MENU_THUMBNAIL_VIEW);
    c.add(kDetailsView, res::IDS_MENU_DETAILS_VIEW);
    c.add(kSortByName, res::IDS_COLUMN_NAME);
    c.add(kSortBySize, res::IDS_COLUMN_SIZE);
    c.add(kSortByType, res::IDS_COLUMN_TYPE);
    c.add(kSortByDate, res::IDS_COLUMN_MODIFIED);
    c.add(kSortAscending, res::IDS_MENU_SORT_ASCENDING);
    c.add(kSortDescending, res::IDS_MENU_SORT_DESCENDING);
    c.add(kQuickRefresh, res::IDS_MENU_QUICK_REFRESH, {K(Qt::Key_F5)});
    c.add(kFullRefresh, res::IDS_MENU_FULL_REFRESH, {K(Qt::CTRL | Qt::Key_F5)});
    c.add(kWallpaperCenter, res::IDS_MENU_WALLPAPER_CENTER);
    c.add(kWallpaperTile, res::IDS_MENU_WALLPAPER_TILE);
    c.add(kWallpaperStretch, res::IDS_MENU_WALLPAPER_STRETCH);
    c.add(kWallpaperRestore, res::IDS_MENU_WALLPAPER_RESTORE);
    c.add(kPreferences, res::IDS_MENU_PREFERENCES_ACCEL, {K(Qt::CTRL | Qt::Key_O)});
    c.add(kClearCache, res::IDS_MENU_CLEAR_CACHE, {K(Qt::CTRL | Qt::Key_U)});
    c.add(kUpdate, res::IDS_MENU_UPDATE);
    c.add(kAbout, res::IDS_MENU_ABOUT);
    c.addHidden(kFocusAddress, {K(Qt::ALT | Qt::Key_D)});

    for (int id : {kToggleFolderPane, kToggleInfoPane, kToggleStatusBar})
        c.action(id)->setCheckable(true);

    // What this build does; the other commands stay disabled until their
    // features exist.
    c.setHandler(kViewLarge, [this] { enterViewer(); });
    c.setRule(kViewLarge, [this] {
        const CThumbListCtrl* l = browse_->list();
        const int i = l->firstSelectedIndex();
        return i >= 0 && !l->isFolderAt(i) && l->isPictureAt(i);
    });
    c.setHandler(kAppExit, [this] { close(); });
    auto* printing = new PrintController(this, app_.store(), app_.printFileList());
    c.setHandler(kPrint, [this, printing] {
        const CThumbListCtrl* l = browse_->list();
        std::vector<std::string> paths;
        for (int i : l->selectedIndexes())
            if (i > 0 && !l->isFolderAt(i))
                paths.push_back(l->pathAt(i).toStdString());
        printing->print(paths);
    });
    c.setRule(kPrint, [this] { return focusTarget() == Focus::List && listRule(false); });
    c.setHandler(kPreferences, [this] {
        // New sizes and designs take effect with rebuilt thumbnails, after
        // "적용" as after OK.
        const auto takeEffect = [this] {
            if (DisplayColourLink* colour = app_.colourLink())
                colour->settingsChanged(app_.settings());
            refreshFolder(CThumbListCtrl::Refresh::Full);
            if (CShowFrame* viewer = app_.viewerFrame())
                viewer->view()->reloadOptions();
        };
        if (prefs::runPreferences(this, app_.settings(), *app_.store(),
                                  app_.folders().programFolder, takeEffect))
            takeEffect();
    });
    c.setHandler(kAbout, [this] { prefs::runAbout(this); });
    c.setHandler(kUpdate, [this] {
        app_.setUserRequestedUpdate(1);
        if (update::UpdateCheck* check = ProgramSeams::updateCheck(app_))
            check->checkOnRequest();
        app_.setUserRequestedUpdate(0);
    });
    for (int id : {kWallpaperCenter, kWallpaperTile, kWallpaperStretch, kWallpaperRestore})
        c.setHandler(id, [this, id] {
            const CThumbListCtrl* l = browse_->list();
            const int i = l->firstSelectedIndex();
            if (id != kWallpaperRestore && i < 0)
                return;
            const CThumbData* d = id == kWallpaperRestore ? nullptr : l->recordAt(i);
            const bool picture = d && !d->isFolder() && l->isPictureAt(i);
            desktop::runWallpaperCommand(this, *app_.store(), id,
                                         picture ? l->pathAt(i) : QString());
        });
    c.setHandler(kAcquire, [this] {
        const MountedDevices devices;
        acquire::CAcquireWizard wizard(
            *app_.store(), devices,
            [this](const QString& folder) { return left_->selectPath(folder); }, this);
        wizard.exec();
        // The keyboard goes back to the files, in the window the wizard left.
        activateWindow();
        browse_->list()->setFocus(Qt::OtherFocusReason);
    });
    CThumbListCtrl* list = browse_->list();
    c.setHandler(kThumbnailView, [list] { list->setViewType(0); });
    c.setHandler(kDetailsView, [list] { list->setViewType(1); });
    c.add(kContextSortByName, res::IDS_COLUMN_NAME);
    c.add(kContextSortBySize, res::IDS_COLUMN_SIZE);
    c.add(kContextSortByType, res::IDS_COLUMN_TYPE);
    c.add(kContextSortByDate, res::IDS_COLUMN_MODIFIED);
    c.add(kContextSortAscending, res::IDS_MENU_SORT_ASCENDING);
    c.add(kContextSortDescending, res::IDS_MENU_SORT_DESCENDING);
    const int sortIds[] = {kSortByName, kSortBySize, kSortByType, kSortByDate};
    const int contextSortIds[] = {kContextSortByName, kContextSortBySize, kContextSortByType,
                                  kContextSortByDate};
    for (int column = 0; column < 4; ++column) {
        c.setHandler(sortIds[column], [list, column] { list->sortCommand(column); });
        c.setHandler(contextSortIds[column], [list, column] { list->sortCommand(column); });
    }
    for (int id : {kSortAscending, kContextSortAscending})
        c.setHandler(id, [list] { list->sortBy(list->sortColumn(), true); });
    for (int id : {kSortDescending, kContextSortDescending})
        c.setHandler(id, [list] { list->sortBy(list->sortColumn(), false); });
    c.add(kContextNewFolder, res::IDS_MENU_TREE_NEW_FOLDER);
    c.add(kContextExif, res::IDS_MENU_EXIF_ACCEL);
    for (int id : {kExif, kContextExif}) {
        c.setHandler(id, [this] { showCameraInformation(); });
        // Not for the parent entry.
        c.setRule(id, [this] { return focusTarget() == Focus::List && listRule(false); });
    }
    c.add(kContextRename, res::IDS_MENU_RENAME_ACCEL);
    c.add(kContextDelete, res::IDS_MENU_DELETE_ACCEL);
    c.add(kContextCut, res::IDS_MENU_CUT);
    c.add(kContextCopy, res::IDS_MENU_COPY);
    c.add(kContextPaste, res::IDS_MENU_PASTE);
    c.add(kContextQuickRefresh, res::IDS_MENU_QUICK_REFRESH);
    c.add(kContextFullRefresh, res::IDS_MENU_FULL_REFRESH);
    for (int id : {kQuickRefresh, kContextQuickRefresh})
        c.setHandler(id, [this] { refreshFolder(CThumbListCtrl::Refresh::Quick); });
    for (int id : {kFullRefresh, kContextFullRefresh})
        c.setHandler(id, [this] { refreshFolder(CThumbListCtrl::Refresh::Full); });
    ListFileActions* files = list->actions();
    for (int id : {kNewFolder, kContextNewFolder}) {
        c.setHandler(id, [this] { newFolderInList(); });
        c.setRule(id, [this] { return !browse_->folder().isEmpty(); });
    }
    for (int id : {kPaste, kContextPaste}) {
        c.setHandler(id, [this, files] { files->paste(browse_->folder()); });
        c.setRule(id, [this, files] { return !browse_->folder().isEmpty() && files->canPaste(); });
    }
    for (int id : {kCut, kContextCut}) {
        c.setHandler(id, [files] { files->cutSelection(); });
        c.setRule(id, [this] { return focusTarget() == Focus::List && listRule(false); });
    }
    c.setHandler(kContextCopy, [files] { files->copySelection(); });
    c.setRule(kContextCopy, [this] { return focusTarget() == Focus::List && listRule(false); });
    c.setHandler(kDelete, [this, files] {
        if (focusTarget() == Focus::Tree)
            left_->deleteItem(left_->currentIndex());
        else
            files->deleteSelection(false);
    });
    c.setHandler(kContextDelete, [files] {
        files->deleteSelection(QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier);
    });
    c.setRule(kContextDelete, [this] { return focusTarget() == Focus::List && listRule(false); });
    c.setHandler(kDeletePermanently, [files] { files->deleteSelection(true); });
    c.setRule(kDeletePermanently,
              [this] { return focusTarget() == Focus::List && listRule(false); });
    for (int id : {kRename, kContextRename})
        c.setHandler(id, [this, list] {
            if (focusTarget() == Focus::Tree)
                left_->renameItem(left_->currentIndex());
            else
                list->renameSelected();
        });
    c.setRule(kContextRename, [this] { return focusTarget() == Focus::List && listRule(false); });
    c.setHandler(kSelectAll, [list] { list->selectAllFiles(); });
    c.setHandler(kInvertSelection, [list] { list->invertFileSelection(); });
    // The list on screen stays as it is; the next visit decodes again.
    c.setHandler(kClearCache,
                 [this] { ThumbCacheReset::clear(*app_.store(), app_.cacheFolder()); });
    for (int id :
         {kThumbnailView, kDetailsView, kSortByName, kSortBySize, kSortByType, kSortByDate,
          kSortAscending, kSortDescending, kContextSortByName, kContextSortBySize,
          kContextSortByType, kContextSortByDate, kContextSortAscending, kContextSortDescending})
        c.action(id)->setCheckable(true);
    c.setHandler(kToggleFolderPane, [this] { setFolderPaneShown(!left_->isVisibleTo(this)); });
    c.setHandler(kToggleInfoPane, [this] { setInfoPaneShown(!info_->isVisibleTo(this)); });
    c.setHandler(kToggleStatusBar,
                 [this] { statusBar()->setVisible(!statusBar()->isVisibleTo(this)); });
    c.setHandler(kFocusAddress, [this] { browse_->focusAddress(); });
    c.setRule(kCut, [this] { return focusTarget() == Focus::List && listRule(false); });
    c.setRule(kCopy, [this] {
        return focusTarget() == Focus::Address || (focusTarget() == Focus::List && listRule(false));
    });
    c.setRule(kDelete, [this] {
        const Focus f = focusTarget();
        return (f == Focus::List && listRule(false)) ||
               (f == Focus::Tree && left_->canDeleteSelection());
    });
    for (int id : {kFrameDecoration, kRotate, kResize, kConvert, kColour})
        c.setRule(id, [this] { return focusTarget() == Focus::List && listRule(true); });
    c.setHandler(kConvert, [this] { convertSelection(); });
    c.setHandler(kResize, [this] { resizeSelection(); });
    // Rotate, colour and frame decoration choose their settings per file in
    // the viewer's edit panel; each is offered once its tool is there.
    const std::pair<int, edit::EditTool> panelTools[] = {
        {kRotate, edit::EditTool::Rotate},
        {kColour, edit::EditTool::Colour},
        {kFrameDecoration, edit::EditTool::Frame},
        {kContextFrameDecoration, edit::EditTool::Frame}};
    for (const auto& [id, tool] : panelTools) {
        c.setHandler(id, [this, tool = tool] { startBatchEdit(tool); });
        c.setRule(id, [this, tool = tool] {
            return focusTarget() == Focus::List && listRule(true) &&
                   edit::BatchHandOver::hasOperation(tool);
        });
    }
    c.setRule(kRename, [this] {
        return (focusTarget() == Focus::List && listRule(false)) ||
               (focusTarget() == Focus::Tree &&
                left_->shellModel()->kindOf(left_->currentIndex()) == ShellNamespace::Kind::Folder);
    });
    c.add(kContextBatchRename, res::IDS_MENU_BATCH_RENAME);
    for (int id : {kBatchRename, kContextBatchRename}) {
        c.setHandler(id, [this] { BatchRenameDialog::run(*browse_->list(), this); });
        c.setRule(id, [this] {
            return focusTarget() == Focus::List && listRule(false) &&
                   !selectedPicturePaths().empty();
        });
    }
    c.setHandler(kCopy, [this, files] {
        if (focusTarget() != Focus::Address)
            files->copySelection();
        else if (QLineEdit* e = browse_->addressBox()->lineEdit())
            e->copy();
    });
}

} // namespace kamelo
