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
