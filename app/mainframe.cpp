#include "mainframe.h"

#include "app/commandids.h"
#include "app/commandtable.h"
#include "app/displaycolourlink.h"
#include "app/editkeyguard.h"
#include "app/eyeapp.h"
#include "app/programseams.h"
#include "app/showframe.h"
#include "app/toolbaricons.h"
#include "app/workarea.h"
#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/thumbcachereset.h"
#include "base/windowplacement.h"
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
#include "update/updatecheck.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace kamelo {

CMainFrame::CMainFrame(CEyeApp& app)
    : app_(app), commands_(new CommandTable(this)), outer_(new QSplitter(Qt::Horizontal, this)),
      inner_(new QSplitter(Qt::Vertical, outer_)), left_(new CLeftView(inner_)),
      info_(new CInfoView(inner_)), browse_(new CBrowseView(outer_)) {
    setWindowTitle(res::qtext(res::IDS_APP_TITLE));
    setObjectName(QStringLiteral("CMainFrame"));
    outer_->addWidget(inner_);
    outer_->addWidget(browse_);
    inner_->addWidget(left_);
    inner_->addWidget(info_);
    // Bars move when the drag ends, which is when the ratios are stored.
    outer_->setOpaqueResize(false);
    inner_->setOpaqueResize(false);
    outer_->setChildrenCollapsible(false);
    inner_->setChildrenCollapsible(false);
    setCentralWidget(outer_);
    connect(outer_, &QSplitter::splitterMoved, this, [this] { splitterDragged(outer_); });
    connect(inner_, &QSplitter::splitterMoved, this, [this] { splitterDragged(inner_); });

    buildCommands();
    buildMenus();
    buildContextMenus();
    buildToolBar();
    buildStatusBar();
    applyPaneVisibility();

    CThumbListCtrl* list = browse_->list();
    wireTree();
    cacheIndex_ = std::make_unique<CacheIndex>(*app_.store(), app_.cacheFolder());
    list->setCacheIndex(cacheIndex_.get());
    list->setDesktopFolder(ShellNamespace::desktop().path);
    connect(list, &CThumbListCtrl::enterViewerRequested, this, [this] { enterViewer(); });
    connect(list, &CThumbListCtrl::statusText, this, [this](int pane, const QString& text) {
        if (QLabel* l = statusPane(pane))
            l->setText(text);
    });
    connect(list, &CThumbListCtrl::progressChanged, this, &CMainFrame::showProgress);
    // The pane follows the focused item while it is shown.
    connect(list, &CThumbListCtrl::focusedItemChanged, this, [this](const QString& path) {
        if (info_->isVisible())
            info_->showItem(path);
    });
    connect(list, &CThumbListCtrl::contextMenuRequested, this,
            [this](const QPoint& at, bool onItem) {
                commands_->refresh();
                (onItem ? itemMenu_ : spaceMenu_)->popup(at);
            });
    connect(list->iconView()->selectionModel(), &QItemSelectionModel::selectionChanged, commands_,
            &CommandTable::refresh);
    new EditKeyGuard(this);
    // A batch edit's run is shown over the browser, which lists the folder
    // again once the run stops.
    edit::BatchHandOver& handOver = app_.batchHandOver();
    handOver.setDialogParent(this);
    handOver.setStopHandler([this](int) { refreshAfterRun(); });
    connect(&handOver, &edit::BatchHandOver::closePanelRequested, this,
            [this] { setEnabled(true); });
    connect(&handOver, &edit::BatchHandOver::finished, this, [this] { setEnabled(true); });
    // The pane that had the focus before a menu took it: menus opened from
    // the keyboard work on it as menus opened with the mouse do.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && isAncestorOf(now) && !isMenuFocus(now))
            remembered_ = paneOf(now);
    });
    connect(qApp, &QApplication::focusChanged, commands_, &CommandTable::refresh);

    if (app_.openedWithFile()) {
        // Out of sight until the user returns from the viewer.
        setGeometry(-3000, -3000, 400, 300);
    } else {
        placeFromSettings();
        openLastFolder();
    }
}

void CMainFrame::wireTree() {
    // Every folder change goes through the tree, which lists what it selects.
    connect(left_, &CLeftView::folderSelected, this, [this](const QString& path) {
        if (!app_.openedWithFile())
            app_.settings().lastFolder = left_->currentLabelChain().toStdString();
        browse_->loadFolder(path);
    });
    browse_->setNavigator([this](const QString& path) {
        return left_->selectPath(path) || browse_->loadFolder(path);
    });
    auto changed = [this](const QString& folder) {
        left_->refreshFolder(folder);
        if (QDir(folder).absolutePath() == QDir(browse_->folder()).absolutePath())
            browse_->loadFolder(browse_->folder(), CThumbListCtrl::Refresh::Quick);
    };
    connect(browse_->list()->actions(), &ListFileActions::folderChanged, this, changed);
    connect(left_, &CLeftView::folderChanged, this, [this](const QString& folder) {
        if (QDir(folder).absolutePath() == QDir(browse_->folder()).absolutePath())
            browse_->loadFolder(browse_->folder(), CThumbListCtrl::Refresh::Quick);
    });
    connect(left_, &CLeftView::folderRenamed, this, [this](const QString& from, const QString& to) {
        const QString listed = browse_->folder();
        if (listed == from || listed.startsWith(from + QLatin1Char('/')))
            browse_->navigate(to + listed.mid(from.size()));
    });
}

void CMainFrame::showCameraInformation() {
    const CThumbListCtrl* l = browse_->list();
    const QModelIndex current = l->iconView()->selectionModel()->currentIndex();
    const int row = current.isValid() ? current.row() : l->firstSelectedIndex();
    const CThumbData* d = l->recordAt(row);
    if (!d || d->isFolder()) {
        QMessageBox::information(this, res::qtext(res::IDS_APP_TITLE),
                                 res::qtext(res::IDS_MSG_ITEM_INFO_FAILED));
        return;
    }
    CExifDlg::open(l->pathAt(row), this);
}

void CMainFrame::openLastFolder() {
    const QString chain = QString::fromStdString(app_.settings().lastFolder);
    if (chain.isEmpty() || !left_->selectLabelChain(chain))
        left_->selectRoot();
}

void CMainFrame::refreshFolder(CThumbListCtrl::Refresh refresh) {
    left_->refreshCurrent();
    if (!browse_->folder().isEmpty())
        browse_->loadFolder(browse_->folder(), refresh);
}

QStringList CMainFrame::refreshKeepingSelection() {
    CThumbListCtrl* list = browse_->list();
    QStringList selected;
    for (int i : list->selectedIndexes())
        selected.append(list->pathAt(i));
    const QModelIndex current = list->currentView()->selectionModel()->currentIndex();
    const QString currentPath = current.isValid() ? list->pathAt(current.row()) : QString();
    refreshFolder(CThumbListCtrl::Refresh::Quick);
    if (selected.isEmpty())
        return {};
    // The folder is listed again in one go: every row is there already.
    QItemSelection rows;
    int currentRow = -1;
    for (int i = 1; i < list->itemCount(); ++i) {
        const QString path = list->pathAt(i);
        if (!selected.contains(path))
            continue;
        const QModelIndex index = list->model()->index(i, 0);
        rows.select(index, index);
        if (currentRow < 0 || path == currentPath)
            currentRow = i;
    }
    if (rows.isEmpty())
        return {};
    QItemSelectionModel* model = list->currentView()->selectionModel();
    model->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    model->setCurrentIndex(list->model()->index(currentRow, 0), QItemSelectionModel::NoUpdate);
    return selected;
}

void CMainFrame::refreshAfterRun() {
    // The run worked on the selection: files it replaced show their new
    // content (the folder's stored list does not know they changed).
    const QStringList selected = refreshKeepingSelection();
    if (!selected.isEmpty())
        browse_->list()->refreshFiles(selected);
}

void CMainFrame::pictureWritten(const QString& path, bool listed) {
    const QString folder = QFileInfo(path).absolutePath();
    if (listed && !browse_->folder().isEmpty() &&
        QFileInfo(browse_->folder()).absoluteFilePath() == folder) {
        // A new file makes the stored list stale, and is listed afresh.
        if (!browse_->list()->refreshFiles({path}))
            refreshKeepingSelection();
        return;
    }
    // Listed later: the thumbnails stored for that folder are stale.
    cacheIndex_->removeStale(ThumbFolder::cacheKey(folder));
}

void CMainFrame::newFolderInList() {
    NewFolderDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        browse_->list()->actions()->newFolder(browse_->folder(), dialog.name());
}

QString CMainFrame::startFolder() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return QDir(pictures).exists() ? pictures : QDir::homePath();
}

void CMainFrame::showBrowserAgain(const QString& currentPath) {
    // The folder may have changed while the viewer was open.
    const QString folder = QFileInfo(currentPath).absolutePath();
    const QString target =
        currentPath.isEmpty() || !QFileInfo::exists(folder) ? browse_->folder() : folder;
    if (!target.isEmpty())
        browse_->navigate(target);
    CThumbListCtrl* list = browse_->list();
    list->selectPath(currentPath);
    placeFromSettings();
    show();
    // The keyboard, the preview and the commands follow the picture the
    // viewer showed last (the pane was hidden while the list changed).
    activateWindow();
    list->setFocus();
    list->announceCurrentItem();
    commands_->refresh();
}

CMainFrame::~CMainFrame() {
    // The list and its loader go before the frame's members they report to.
    browse_->list()->stopLoader();
    browse_->list()->disconnect(this);
}

void CMainFrame::showProgress(int percent) {
    // 0 and 100 or more end the progress display.
    const bool running = percent > 0 && percent < 100;
    progress_->setVisible(running);
    progress_->setValue(running ? percent : 0);
    panes_[1]->setText(running ? QStringLiteral("%1%").arg(percent) : QString());
}

QLabel* CMainFrame::statusPane(int index) const {
    return index >= 1 && index <= 3 ? panes_[index - 1] : nullptr;
}

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

std::vector<std::string> CMainFrame::selectedPicturePaths() const {
    // Taken once, in list order, when the run starts: the worker never reads
    // the list, which the user may change while it runs.
    const CThumbListCtrl* l = browse_->list();
    std::vector<std::string> paths;
    for (int i : l->selectedIndexes())
        if (l->isPictureAt(i))
            paths.push_back(l->pathAt(i).toStdString());
    return paths;
}

void CMainFrame::convertSelection() {
    std::vector<std::string> paths = selectedPicturePaths();
    if (paths.empty())
        return;
    edit::ConversionCommands::convertFiles(this, *app_.store(), std::move(paths), picturesUpright(),
                                           this, [this](int) { refreshAfterRun(); });
}

void CMainFrame::resizeSelection() {
    std::vector<std::string> paths = selectedPicturePaths();
    if (paths.empty())
        return;
    edit::ResizeDialog::resizeFiles(this, *app_.store(), std::move(paths), browse_->folder(),
                                    picturesUpright(), this, [this](int) { refreshAfterRun(); });
}

void CMainFrame::startBatchEdit(edit::EditTool tool) {
    edit::BatchHandOver& handOver = app_.batchHandOver();
    // The run turns pictures upright as the viewer shows them.
    handOver.setUpright(picturesUpright());
    if (!handOver.begin(tool, selectedPicturePaths()))
        return;
    // The first selected picture in the viewer, the browser left in sight
    // but out of reach until the panel is done.
    enterViewer(false);
    CShowFrame* viewer = app_.viewerFrame();
    if (!viewer) {
        handOver.cancel();
        return;
    }
    viewer->setCloseApplication(0);
    setEnabled(false);
    handOver.requestPanel();
}

bool CMainFrame::listRule(bool needPicture) const {
    const CThumbListCtrl* l = browse_->list();
    const int i = l->firstSelectedIndex();
    if (i <= 0 || l->isLoading())
        return false;
    return !needPicture || (!l->isFolderAt(i) && l->isPictureAt(i));
}

bool CMainFrame::isMenuFocus(const QWidget* w) const {
    return w == menuBar() || qobject_cast<const QMenu*>(w);
}

CMainFrame::Focus CMainFrame::focusTarget() const {
    const QWidget* w = QApplication::focusWidget();
    return isMenuFocus(w) ? remembered_ : paneOf(w);
}

CMainFrame::Focus CMainFrame::paneOf(const QWidget* w) const {
    if (!w)
        return Focus::Other;
    if (w == browse_->addressBox() || browse_->addressBox()->isAncestorOf(w))
        return Focus::Address;
    if (w == browse_->list() || browse_->list()->isAncestorOf(w))
        return Focus::List;
    if (w == left_)
        return Focus::Tree;
    return Focus::Other;
}

void CMainFrame::buildMenus() {
    using namespace cmd;
    QMenuBar* bar = menuBar();
    CommandTable& c = *commands_;
    c.fill(bar->addMenu(res::qtext(res::IDS_MENU_POPUP_FILE)),
           {kViewLarge, kAcquire, 0, kNewFolder, kDelete, 0, kExif, kPrint, 0, kAppExit});
    c.fill(bar->addMenu(res::qtext(res::IDS_MENU_POPUP_EDIT)),
           {kCut, kCopy, kPaste, 0, kRename, kBatchRename, 0, kSelectAll, kInvertSelection});
    QMenu* view = bar->addMenu(res::qtext(res::IDS_MENU_POPUP_VIEW));
    c.fill(view,
           {kToggleFolderPane, kToggleInfoPane, kToggleStatusBar, 0, kThumbnailView, kDetailsView});
    QMenu* sort = view->addMenu(res::qtext(res::IDS_MENU_POPUP_SORT));
    c.fill(sort, {kSortByName, kSortBySize, kSortByType, kSortByDate, 0, kSortAscending,
                  kSortDescending});
    c.fill(view, {0, kQuickRefresh, kFullRefresh});
    QMenu* tools = bar->addMenu(res::qtext(res::IDS_MENU_POPUP_TOOLS));
    c.fill(tools, {kFrameDecoration, kRotate, kResize, kConvert, kColour, 0});
    QMenu* wallpaper = tools->addMenu(res::qtext(res::IDS_MENU_POPUP_WALLPAPER));
    c.fill(wallpaper, {kWallpaperCenter, kWallpaperTile, kWallpaperStretch, kWallpaperRestore});
    c.fill(tools, {0, kPreferences, kClearCache});
    c.fill(bar->addMenu(res::qtext(res::IDS_MENU_POPUP_HELP)), {kUpdate, kAbout});
    connect(view, &QMenu::aboutToShow, this, &CMainFrame::updateChecks);
}

void CMainFrame::updateChecks() {
    using namespace cmd;
    CommandTable& c = *commands_;
    c.action(kToggleFolderPane)->setChecked(left_->isVisibleTo(this));
    c.action(kToggleInfoPane)->setChecked(info_->isVisibleTo(this));
    c.action(kToggleStatusBar)->setChecked(statusBar()->isVisibleTo(this));
    const CThumbListCtrl* l = browse_->list();
    c.action(kThumbnailView)->setChecked(l->viewType() == 0);
    c.action(kDetailsView)->setChecked(l->viewType() == 1);
    const int sortIds[2][4] = {
        {kSortByName, kSortBySize, kSortByType, kSortByDate},
        {kContextSortByName, kContextSortBySize, kContextSortByType, kContextSortByDate}};
    for (const auto& ids : sortIds)
        for (int column = 0; column < 4; ++column)
            c.action(ids[column])->setChecked(l->sortColumn() == column);
    for (int id : {kSortAscending, kContextSortAscending})
        c.action(id)->setChecked(l->sortAscending());
    for (int id : {kSortDescending, kContextSortDescending})
        c.action(id)->setChecked(!l->sortAscending());
}

void CMainFrame::buildContextMenus() {
    using namespace cmd;
    CommandTable& c = *commands_;
    itemMenu_ = new QMenu(this);
    itemMenu_->setObjectName(QStringLiteral("context file 00"));
    c.fill(itemMenu_, {kViewLarge, 0, kContextCut, kContextCopy, kContextDelete, kContextRename,
                       kContextBatchRename, 0, kContextExif, kPrint, 0});
    c.fill(itemMenu_->addMenu(res::qtext(res::IDS_MENU_POPUP_TOOLS)),
           {kContextFrameDecoration, kRotate, kResize, kConvert, kColour});
    c.fill(itemMenu_->addMenu(res::qtext(res::IDS_MENU_POPUP_WALLPAPER)),
           {kWallpaperCenter, kWallpaperTile, kWallpaperStretch, kWallpaperRestore});
    spaceMenu_ = new QMenu(this);
    spaceMenu_->setObjectName(QStringLiteral("context file 01"));
    c.fill(spaceMenu_, {kContextPaste, kContextNewFolder, 0, kThumbnailView, kDetailsView});
    c.fill(spaceMenu_->addMenu(res::qtext(res::IDS_MENU_POPUP_SORT)),
           {kContextSortByName, kContextSortBySize, kContextSortByType, kContextSortByDate, 0,
            kContextSortAscending, kContextSortDescending});
    c.fill(spaceMenu_, {0, kContextQuickRefresh, kContextFullRefresh, 0, kSelectAll});
    connect(spaceMenu_, &QMenu::aboutToShow, this, &CMainFrame::updateChecks);
}

void CMainFrame::buildToolBar() {
    QToolBar* bar = addToolBar(res::qtext(res::IDS_TOOLBAR_BAND));
    bar->setObjectName(QStringLiteral("Toolbar"));
    bar->setMovable(false);
    for (int id : {cmd::kViewLarge, cmd::kPrint, cmd::kExif, cmd::kRotate, cmd::kResize})
        bar->addAction(commands_->action(id));
    wallpaperButton_ = new QToolButton(bar);
    wallpaperButton_->setText(res::qtext(res::IDS_TOOLBAR_WALLPAPER));
    wallpaperButton_->setObjectName(QStringLiteral("wallpaperButton"));
    wallpaperButton_->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(wallpaperButton_);
    menu->setObjectName(QStringLiteral("menu245"));
    commands_->fill(menu, {cmd::kWallpaperCenter, cmd::kWallpaperTile, cmd::kWallpaperStretch,
                           cmd::kWallpaperRestore});
    wallpaperButton_->setMenu(menu);
    bar->addWidget(wallpaperButton_);
    ToolBarIcons::dress(bar);
}

void CMainFrame::buildStatusBar() {
    QStatusBar* bar = statusBar();
    for (int i = 0; i < 3; ++i) {
        panes_[i] = new QLabel(bar);
        panes_[i]->setObjectName(QStringLiteral("statusPane%1").arg(i + 1));
        bar->addWidget(panes_[i], i == 2 ? 1 : 0);
    }
    progress_ = new QProgressBar(bar);
    progress_->setRange(0, 100);
    progress_->setMaximumWidth(160);
    progress_->setTextVisible(false);
    progress_->hide();
    bar->addPermanentWidget(progress_);
}

void CMainFrame::applyPaneVisibility() {
    const CUiSettings& s = app_.settings();
    left_->setVisible(s.folderViewShown != 0);
    info_->setVisible(s.infoViewShown != 0);
    inner_->setVisible(s.folderViewShown != 0 || s.infoViewShown != 0);
    layoutPanes();
}

void CMainFrame::layoutPanes() {
    const CUiSettings& s = app_.settings();
    const bool tree = left_->isVisibleTo(this), infoShown = info_->isVisibleTo(this);
    if (tree || infoShown) {
        const int total = outer_->width() - outer_->handleWidth();
        const int leftWidth = WindowPlacement::splitSize(total, s.horzSplitRatio);
        outer_->setSizes({leftWidth, std::max(0, total - leftWidth)});
    }
    if (tree && infoShown) {
        const int total = inner_->height() - inner_->handleWidth();
        const int treeHeight = WindowPlacement::splitSize(total, s.vertSplitRatio);
        inner_->setSizes({treeHeight, std::max(0, total - treeHeight)});
    }
}

void CMainFrame::splitterDragged(QSplitter* splitter) {
    CUiSettings& s = app_.settings();
    const QList<int> sizes = splitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    if (splitter == outer_)
        s.horzSplitRatio = WindowPlacement::ratioAfterDrag(sizes.value(0), total,
                                                           CUiSettings::kDefaultHorzSplitRatio);
    else
        s.vertSplitRatio = WindowPlacement::ratioAfterDrag(sizes.value(0), total,
                                                           CUiSettings::kDefaultVertSplitRatio);
}

void CMainFrame::setFolderPaneShown(bool shown) {
    CUiSettings& s = app_.settings();
    s.folderViewShown = shown ? 1 : 0;
    app_.store()->setInt(keys::kUiSettings, keys::kFolderViewShowState, s.folderViewShown);
    applyPaneVisibility();
}

void CMainFrame::setInfoPaneShown(bool shown) {
    CUiSettings& s = app_.settings();
    s.infoViewShown = shown ? 1 : 0;
    app_.store()->setInt(keys::kUiSettings, keys::kInfoViewShowState, s.infoViewShown);
    applyPaneVisibility();
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    layoutPanes();
}

void CMainFrame::placeFromSettings() {
    const QRect area = workArea();
    const WindowRect r = WindowPlacement::readBrowser(*app_.store(), area.width(), area.height());
    setGeometry(area.x() + r.x, area.y() + r.y, r.cx, r.cy);
}

void CMainFrame::storePlacement() {
    const QRect area = workArea();
    const QRect g = geometry();
    WindowPlacement::writeBrowser(*app_.store(),
                                  {g.x() - area.x(), g.y() - area.y(), g.width(), g.height()});
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // The program ends with the browser: an open viewer goes first so that
    // it keeps its own placement.
    if (CShowFrame* viewer = app_.viewerFrame()) {
        viewer->setCloseApplication(0);
        viewer->close();
    }
    // Started with a picture and never shown: the placement is not this
    // session's to keep.
    if (!stored_ && !app_.openedWithFile()) {
        stored_ = true;
        const bool maximized = isMaximized();
        app_.store()->setInt(keys::kPosition, keys::kBrowserMaximize, maximized ? 1 : 0);
        if (!maximized)
            storePlacement();
    }
    QMainWindow::closeEvent(event);
}

void CMainFrame::enterViewer(bool hideBrowser) {
    const CThumbListCtrl* l = browse_->list();
    const int selected = l->firstSelectedIndex();
    if (selected < 0)
        return;
    PictureList& list = app_.doc().list();
    // The current index outlives the list: a selection the walk never meets
    // (the parent entry) keeps it.
    const int kept = list.current();
    list.clear();
    list.setCurrent(kept);
    if (!app_.openedWithFile()) {
        if (l->itemCount() < 2)
            return;
        // Index 0 (the parent entry) is never part of the list.
        for (int i = 1; i < l->itemCount(); ++i) {
            if (!l->isPictureAt(i))
                continue;
            const int at = list.append(l->pathAt(i).toStdString());
            if (i == selected)
                list.setCurrent(at);
        }
        // A viewer with nothing to show would end the program.
        if (list.empty())
            return;
        if (list.current() >= list.count())
            list.setCurrent(0);
    }
    app_.openViewer(hideBrowser ? 1 : 0, 1);
}

} // namespace kamelo
