#include "showframe.h"

#include "app/commandids.h"
#include "app/commandtable.h"
#include "app/displaycolourlink.h"
#include "app/editkeyguard.h"
#include "app/eyeapp.h"
#include "app/mainframe.h"
#include "app/toolbaricons.h"
#include "app/workarea.h"
#include "base/pictureextensions.h"
#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "base/windowplacement.h"
#include "browser/browseview.h"
#include "browser/thumblistctrl.h"
#include "chrome/fileui.h"
#include "chrome/namemessagebox.h"
#include "desktop/wallpapercommand.h"
#include "edit/batchhandover.h"
#include "edit/conversioncommands.h"
#include "edit/editpanel.h"
#include "edit/saveasdialog.h"
#include "exif/exifdialog.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"
#include "prefs/prefscommands.h"
#include "print/printcontroller.h"
#include "resources/qtstrings.h"
#include "viewer/core/zoomrules.h"
#include "viewer/eyedoc.h"
#include "viewer/picturecheck.h"
#include "viewer/readaheadworker.h"
#include "viewer/showview.h"
#include "viewer/viewersave.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolBar>

#include <tuple>

namespace kamelo {

CShowFrame::CShowFrame(CEyeApp& app, int openFlag)
    : app_(app), openFlag_(openFlag), commands_(new CommandTable(this)),
      view_(new CShowView(app.doc(), this)) {
    setObjectName(QStringLiteral("CShowFrame"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(res::qtext(res::IDS_APP_TITLE));
    setCentralWidget(view_);
    new EditKeyGuard(this);

    buildCommands();
    buildMenus();
    toolBar_ = addToolBar(res::qtext(res::IDS_TOOLBAR_BAND));
    toolBar_->setObjectName(QStringLiteral("Toolbar"));
    toolBar_->setMovable(false);
    for (int id : {cmd::kBackToBrowser, cmd::kFullScreen, cmd::kEditMode})
        toolBar_->addAction(commands_->action(id));
    ToolBarIcons::dress(toolBar_);

    for (int i = 0; i < 3; ++i) {
        panes_[i] = new QLabel(statusBar());
        panes_[i]->setObjectName(QStringLiteral("statusPane%1").arg(i + 1));
        statusBar()->addWidget(panes_[i], i == 2 ? 1 : 0);
    }

    editBar_ = new QDockWidget(res::qtext(res::IDS_EDIT_BAR_CAPTION), this);
    editBar_->setObjectName(QStringLiteral("editBar"));
    editBar_->setAllowedAreas(Qt::RightDockWidgetArea);
    editBar_->setFeatures(QDockWidget::DockWidgetClosable);
    buildEditPanel();
    addDockWidget(Qt::RightDockWidgetArea, editBar_);
    editBarShown_ =
        app_.store()->getInt(keys::kGeneral, keys::kShowEditBar, keys::kShowEditBarDefault) != 0;
    editBar_->setVisible(editBarShown_);
    updateEditModeText();

    connect(view_, &CShowView::pictureChanged, this, &CShowFrame::updateStatus);
    connect(view_, &CShowView::pictureChanged, commands_, &CommandTable::refresh);

    connect(view_, &CShowView::loadFailed, this, [this](const QString& message) {
        NameMessageBox::warning(this, res::qtext(res::IDS_APP_TITLE), message);
    });
    // The note stays beside the name of the picture shown next.
    connect(view_, &CShowView::slideSkipped, this, [this](const QString& message) {
        skipNote_ = message;
        panes_[1]->setText(message);
    });
    connect(view_, &CShowView::notice, this, [this](const QString& message) {
        panes_[1]->setText(panes_[1]->text() + QStringLiteral(" - ") + message);
    });
    connect(view_, &CShowView::nothingToShow, this, [this] {
        viewerReady_ = 0;
        closeApplication_ = 1;
        close();
    });
}

CShowFrame::~CShowFrame() = default;

QLabel* CShowFrame::statusPane(int index) const {
    return index >= 1 && index <= 3 ? panes_[index - 1] : nullptr;
}

void CShowFrame::buildEditPanel() {
    editPanel_ = new edit::EditPanel(view_, app_.doc(), app_.store(), editBar_);
    editBar_->setWidget(editPanel_);
    editBar_->installEventFilter(this);
    connect(editPanel_, &edit::EditPanel::titleChanged, editBar_, &QDockWidget::setWindowTitle);
    connect(editPanel_, &edit::EditPanel::saveRequested, this, &CShowFrame::saveAs);
    connect(editPanel_, &edit::EditPanel::stateChanged, commands_, &CommandTable::refresh);
    connect(editPanel_, &edit::EditPanel::batchCaptionChanged, this, [this](const QString& text) {
        setWindowTitle(!text.isEmpty() ? text
                                       : view_->currentPath() + QStringLiteral(" - ") +
                                             res::qtext(res::IDS_ABOUT_CAPTION));
    });
    connect(view_, &CShowView::doubleClicked, editPanel_, &edit::EditPanel::viewDoubleClicked);
}

bool CShowFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == editBar_ && event->type() == QEvent::Close) {
        editPanel_->cancelTool();
        editBarShown_ = 0;
        updateEditModeText();
        commands_->refresh();
    }
    return QMainWindow::eventFilter(watched, event);
}

void CShowFrame::wireEditCommands() {
    using namespace cmd;
    const std::pair<int, edit::ToolId> tools[] = {{kRotate, edit::ToolId::Rotate},
                                                  {kResize, edit::ToolId::Resize},
                                                  {kColour, edit::ToolId::Colour},
                                                  {kCrop, edit::ToolId::Crop},
                                                  {kFrameDecoration, edit::ToolId::Frame}};
    for (const auto& [id, tool] : tools) {
        commands_->setHandler(id, [this, tool = tool] {
            if (!editBar_->isVisible())
                toggleEditBar();
            if (editPanel_)
                editPanel_->openTool(tool);
        });
        commands_->setRule(id, [this, tool = tool] {
            return editPanel_ && !fullScreen_ && editPanel_->canOpen(tool);
        });
    }
}

void CShowFrame::wireBatchHandOver() {
    edit::BatchHandOver& handOver = app_.batchHandOver();
    // The panel lives in the edit bar: a batch edit shows it and opens the
    // tool on the hand-over.
    connect(&handOver, &edit::BatchHandOver::panelRequested, this,
            [this, &handOver](edit::EditTool tool, int) {
                if (!editBar_->isVisible())
                    toggleEditBar();
                const edit::ToolId id = tool == edit::EditTool::Rotate   ? edit::ToolId::Rotate
                                        : tool == edit::EditTool::Colour ? edit::ToolId::Colour
                                                                         : edit::ToolId::Frame;
                // Opened on the first file's own picture only: a picture left
                // from before, or one still on its way, is waited past. A tool
                // that refuses to open (no frame skins) gives the browser back.
                auto tryOpen = [this, &handOver, id] {
                    if (!handOver.active() || handOver.paths().empty())
                        return true; // ended meanwhile
                    const std::string& first = handOver.paths().front();
                    if (view_->isLoading() || app_.doc().list().currentPath() != first ||
                        app_.doc().pictureMatches(first) != PictureSource::Match::Same)
                        return false;
                    if (!editPanel_->openBatchTool(id, &handOver) &&
                        edit::EditToolPanel::hasTool(id))
                        handOver.cancel();
                    return true;
                };
                QObject::disconnect(batchWait_);
                if (tryOpen())
                    return;
                batchWait_ = connect(view_, &CShowView::pictureChanged, this, [this, tryOpen] {
                    if (tryOpen())
                        QObject::disconnect(batchWait_);
                });
            });
    connect(&handOver, &edit::BatchHandOver::finished, this,
            [this] { QObject::disconnect(batchWait_); });
    // Handed over: the browser runs the batch, the viewer has done its part.
    connect(&handOver, &edit::BatchHandOver::closePanelRequested, this, [this] {
        closeApplication_ = 0;
        close();
    });
}

void CShowFrame::convertShown() {
    const std::string path = app_.doc().list().currentPath();
    if (path.empty() || !app_.doc().displayed().isAllocated())
        return;
    // Written beside the file under its name: only that file's picture.
    if (!PictureCheck::isOwn(app_.doc(), path, this, res::IDS_MSG_PICTURE_NOT_OF_FILE))
        return;
    const QString written = edit::ConversionCommands::convertPicture(
        this, *app_.store(), app_.doc().displayed(), path,
        picturesUpright() || view_->orientationMark(), FileUi::standard());
    if (written.isEmpty())
        return;
    // Written over its own file: what is shown is what the file now holds.
    if (written.toStdString() == path) {
        view_->setModified(false);
        app_.doc().setSource(PictureSource::of(path));
        view_->turnTrack().reset();
    }
    pictureWritten(written);
}

void CShowFrame::pictureWritten(const QString& path) {
    // The browser may list the file's folder now or later (a viewer opened
    // on a file): its cell and cached thumbnail follow the new content.
    if (CMainFrame* m = app_.madeMainFrame())
        m->pictureWritten(path, !app_.openedWithFile());
}

void CShowFrame::buildMenus() {
    using namespace cmd;
    QMenuBar* bar = menuBar();
    CommandTable& c = *commands_;
    c.fill(bar->addMenu(res::qtext(res::IDS_MENU_POPUP_FILE)),
           {kSave, kSaveAs, 0, kViewerDelete, kExif, kViewerPrint, 0, kViewerExit});
    QMenu* view = bar->addMenu(res::qtext(res::IDS_MENU_POPUP_VIEW));
    c.fill(view, {kBackToBrowser, kFullScreen, kEditMode, 0});
    QMenu* zoom = view->addMenu(res::qtext(res::IDS_MENU_POPUP_ZOOM));
    c.fill(zoom, {kZoomIn, kZoomOut, kZoomRatio, 0, kActualSize, kAutoFit, kFixedRatio});
    c.fill(view, {0, kSlideShow, kCopyToClipboard, 0, kNextFrame, kPreviousFrame});
    c.fill(bar->addMenu(res::qtext(res::IDS_MENU_POPUP_MOVE)),
           {kNextPicture, kPreviousPicture, kFirstPicture, kLastPicture});
    QMenu* tools = bar->addMenu(res::qtext(res::IDS_MENU_POPUP_TOOLS));
    c.fill(tools, {kRotate, kResize, kConvert, kColour, kCrop, kFrameDecoration, 0});
    QMenu* wallpaper = tools->addMenu(res::qtext(res::IDS_MENU_POPUP_WALLPAPER));
    c.fill(wallpaper, {kWallpaperCenter, kWallpaperTile, kWallpaperStretch, kWallpaperRestore});
    c.fill(tools, {0, kPreferences});
}

void CShowFrame::saveAs() {
    const QString current = view_->currentPath();
    if (current.isEmpty() || !app_.doc().displayed().isAllocated())
        return;
    // The picture is written with its file's camera information: it must
    // be that file's picture (edited or not).
    if (!PictureCheck::isOwn(app_.doc(), current.toStdString(), this,
                             res::IDS_MSG_PICTURE_NOT_OF_FILE))
        return;
    edit::CSaveAsDialog dialog(app_.doc().displayed(), current, view_->isModified(), this);
    // Every picture is shown turned upright from its EXIF orientation while
    // the setting asks for it; the editing tools' per-picture mark is the
    // other source of this flag, and what the dialog clears after writing.
    dialog.setOrientationMark(picturesUpright() || view_->orientationMark());
    const int answer = dialog.exec();
    if (!dialog.savedPath().isEmpty())
        view_->setOrientationMark(view_->orientationMark() && dialog.orientationMark());
    if (answer != QDialog::Accepted || dialog.savedPath().isEmpty())
        return;
    afterSaveAs(dialog.savedPath());
}

void CShowFrame::afterSaveAs(const QString& path) {
    // The read-ahead may hold a picture of the file just replaced.
    view_->readAhead().release();
    pictureWritten(path);
    const QFileInfo saved(path);
    const QFileInfo current(view_->currentPath());
    const std::string savedPath = saved.absoluteFilePath().toStdString();
    if (saved != current && !PictureExtensions::isPicturePath(saved.fileName().toStdString())) {
        // A file the viewer cannot list: the shown picture stays its own
        // file's (edited) picture.
        commands_->refresh();
        return;
    }
    // The document's file is the one just written: what is shown is what
    // it holds, and only that file's picture from now on.
    app_.doc().completeList();
    PictureList& list = app_.doc().list();
    if (saved.absolutePath() == current.absolutePath()) {
        int at = -1;
        for (int i = 0; i < list.count(); ++i)
            if (QFileInfo(QString::fromStdString(list.pathAt(i))) == saved)
                at = i;
        if (at < 0)
            at = list.append(savedPath);
        list.setCurrent(at);
    } else {
        // Another folder: the viewer steps through that folder's pictures.
        app_.fillDocumentFromFolder(savedPath);
    }
    app_.doc().setSource(PictureSource::of(list.currentPath()));
    view_->turnTrack().reset();
    view_->setModified(false);
    setWindowTitle(QString::fromStdString(list.currentPath()) + QStringLiteral(" - ") +
                   res::qtext(res::IDS_ABOUT_CAPTION));
    view_->listChanged();
    commands_->refresh();
}

void CShowFrame::buildContextMenu() {
    using namespace cmd;
    contextMenu_ = new QMenu(this);
    contextMenu_->setObjectName(QStringLiteral("Viewer Mode Context"));
    CommandTable& c = *commands_;
    c.fill(contextMenu_, {kBackToBrowser, kFullScreen, 0, kNextPicture, kPreviousPicture,
                          kFirstPicture, kLastPicture, 0});
    c.fill(contextMenu_->addMenu(res::qtext(res::IDS_MENU_POPUP_ZOOM)),
           {kZoomIn, kZoomOut, kZoomRatio, 0, kActualSize, kAutoFit, kFixedRatio});
    c.fill(contextMenu_, {0, kCopyToClipboard, kViewerDelete, kExif, kViewerPrint, 0});
    c.fill(contextMenu_->addMenu(res::qtext(res::IDS_MENU_POPUP_TOOLS)),
           {kRotate, kResize, kConvert, kColour, kCrop, kFrameDecoration});
    c.fill(contextMenu_->addMenu(res::qtext(res::IDS_MENU_POPUP_WALLPAPER)),
           {kWallpaperCenter, kWallpaperTile, kWallpaperStretch, kWallpaperRestore});
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        updateZoomChecks();
        contextMenu_->popup(view_->mapToGlobal(at));
    });
}

void CShowFrame::updateZoomChecks() {
    CommandTable& c = *commands_;
    c.action(cmd::kActualSize)->setChecked(view_->zoomMode() == CShowView::kActualSize);
    c.action(cmd::kAutoFit)->setChecked(view_->zoomMode() == CShowView::kAutoFit);
    c.action(cmd::kFixedRatio)->setChecked(view_->zoomMode() == CShowView::kFixedRatio);
    c.action(cmd::kFixedRatio)
        ->setText(QString::fromUtf8(res::format(res::IDS_MENU_FIXED_RATIO_PERCENT,
                                                ZoomRules::percent(view_->zoomFactor()))));
    c.refresh();
}

void CShowFrame::saveOverFile() {
    const std::string path = app_.doc().list().currentPath();
    if (path.empty() || !app_.doc().displayed().isAllocated())
        return;
    // Never another file's pixels, nor over a file changed since it was
    // read: the changes stay unsaved and the file as it is.
    if (!PictureCheck::isOwn(app_.doc(), path, this, res::IDS_MSG_PICTURE_NOT_OF_FILE))
        return;
    // A picture an edit turned upright by its EXIF orientation is stored
    // with orientation 1, as Save As does.
    const bool upright = picturesUpright() || view_->orientationMark();
    // Only turned since it was read: the file itself is turned, losslessly.
    const std::optional<imaging::PlaneTurn> turn =
        view_->turnTrack().turnOf(app_.doc().displayed());
    bool reencoded = false;
    int rc =
        turn ? ViewerSave::saveTurned(path, *turn, upright, &reencoded) : ViewerSave::kNotSaved;
    if (rc == ViewerSave::kNotSaved)
        rc = ViewerSave::save(app_.doc().displayed(), path, upright);
    else if (rc >= 1 && reencoded)
        statusBar()->showMessage(res::qtext(res::IDS_ROTATE_REENCODED_SAVE), 5000);
    view_->setModified(false); // cleared whatever the writer did
    if (rc >= 1) {
        view_->setOrientationMark(false); // the file now holds it upright
        // The file now holds this picture: it stays the file's own, and the
        // turns known from the old content no longer say how it was made.
        app_.doc().setSource(PictureSource::of(path));
        view_->turnTrack().reset();
        view_->readAhead().release();
        pictureWritten(QString::fromStdString(path));
    }
    if (rc < 0)
        NameMessageBox::warning(
            this, res::qtext(res::IDS_APP_TITLE),
            QString::fromUtf8(res::format(
                res::IDS_FAILED_SAVE,
                QFileInfo(QString::fromStdString(path)).fileName().toUtf8().constData())) +
                QStringLiteral("\n") + QString::fromUtf8(imaging::resultText(rc).c_str()));
}

void CShowFrame::initialUpdate() {
    const QRect area = workArea();
    const bool maximize = app_.store()->getInt(keys::kPosition, keys::kViewerMaximize,
                                               keys::kViewerMaximizeDefault) != 0;
    if (maximize) {
        // Without a window manager nothing maximizes: cover the work area.
        setGeometry(area);
        showMaximized();
    } else {
        const WindowRect r =
            WindowPlacement::readViewer(*app_.store(), area.width(), area.height());
        setGeometry(area.x() + r.x, area.y() + r.y, r.cx, r.cy);
        show();
    }
    if (openFlag_)
        view_->startSoon();
}

void CShowFrame::fitToPicture(int width, int height) {
    if (isMaximized() || fullScreen_)
        return;
    const QRect area = workArea();
    const int bar = editBar_->isVisible() ? editBar_->width() : 0;
    const WindowRect r =
        WindowPlacement::fitViewer(width, height, bar, area.width(), area.height());
    setGeometry(area.x() + r.x, area.y() + r.y, r.cx, r.cy);
}

void CShowFrame::enterFullScreen() {
    if (fullScreen_)
        return;
    fullScreen_ = true;
    wasMaximized_ = isMaximized();
    savedGeometry_ = geometry();
    menuBar()->hide();
    toolBar_->hide();
    statusBar()->hide();
    editBar_->hide();
    showFullScreen();
    view_->setShowFileName(true);
}

void CShowFrame::restoreFromFullScreen() {
    if (!fullScreen_)
        return;
    // Leaving full screen ends the slide show.
    view_->stopSlideShow();
    menuBar()->show();
    toolBar_->show();
    statusBar()->show();
    editBar_->setVisible(editBarShown_);
    // A saved frame geometry restored after this moved the window down by
    // the frame's offset (the status bar off the screen): a maximized window
    // only needs its state back, a placed one its client rectangle.
    if (wasMaximized_) {
        showMaximized();
    } else {
        showNormal();
        setGeometry(savedGeometry_);
    }
    activateWindow();
    fullScreen_ = false;
    view_->setShowFileName(false);
    commands_->refresh();
}

void CShowFrame::keyPressEvent(QKeyEvent* event) {
    // Enter and Esc that no field kept belong to an open edit tool.
    if (editPanel_ && editPanel_->handleKey(event)) {
        event->accept();
        return;
    }
    if (event->modifiers() & Qt::KeypadModifier) {
        int id = 0;
        switch (event->key()) {
        case Qt::Key_Plus:
            id = cmd::kZoomIn;
            break;
        case Qt::Key_Minus:
            id = cmd::kZoomOut;
            break;
        case Qt::Key_Slash:
            id = cmd::kActualSize;
            break;
        case Qt::Key_Asterisk:
            id = cmd::kAutoFit;
            break;
        default:
            break;
        }
        if (id) {
            commands_->refresh();
            if (QAction* a = commands_->action(id); a && a->isEnabled())
                a->trigger();
            event->accept();
            return;
        }
    }
    QMainWindow::keyPressEvent(event);
}

void CShowFrame::toggleEditBar() {
    editBarShown_ = !editBarShown_;
    editBar_->setVisible(editBarShown_);
    updateEditModeText();
    view_->update();
}

void CShowFrame::updateEditModeText() {
    commands_->action(cmd::kEditMode)
        ->setText(res::qtext(editBarShown_ ? res::IDS_EDIT_MODE_OFF : res::IDS_EDIT_MODE_ON));
}

void CShowFrame::updateStatus(const QString& path, int position, int count) {
    if (count == 0) {
        setWindowTitle(QStringLiteral("No File"));
        panes_[0]->setText(QStringLiteral("0/0"));
        panes_[1]->setText(res::qtext(res::IDS_VIEWER_EMPTY));
        panes_[2]->clear();
        return;
    }
    panes_[0]->setText(QStringLiteral("%1/%2").arg(position).arg(count));
    panes_[1]->setText(skipNote_.isEmpty()
                           ? QFileInfo(path).fileName()
                           : QFileInfo(path).fileName() + QStringLiteral(" - ") + skipNote_);
    skipNote_.clear();
    imaging::FileInfo info;
    // The picture's size without waiting for its full decode.
    const QSize shown = view_->hasPicture() ? view_->shownPictureSize() : QSize();
    // Pictures are held at 24 bits whatever the file's depth; the line
    // describes the bitmap on screen.
    constexpr int kShownBitsPerPixel = 24;
    if (imaging::PictureFile::readInfo(path.toStdString(), info) >= 1)
        panes_[2]->setText(QString::fromUtf8(
            res::format(res::IDS_VIEWER_STATUS_INFO, shown.isValid() ? shown.width() : info.width,
                        shown.isValid() ? shown.height() : info.height,
                        shown.isValid() ? kShownBitsPerPixel : info.bitsPerPixel,
                        static_cast<int>(info.sizeOnDisk / 1024 + 1),
                        ZoomRules::percent(view_->zoomFactor()), info.compression.c_str())));
    else
        panes_[2]->setText(res::qtext(res::IDS_MSG_FILE_INFO_FAILED));
}

void CShowFrame::storePlacement() {
    SettingsStore& s = *app_.store();
    s.setInt(keys::kGeneral, keys::kShowEditBar, editBarShown_);
    if (fullScreen_)
        restoreFromFullScreen();
    if (isMaximized()) {
        s.setInt(keys::kPosition, keys::kViewerMaximize, 1);
        return;
    }
    s.setInt(keys::kPosition, keys::kViewerMaximize, 0);
    const QRect area = workArea();
    const QRect g = geometry();
    WindowPlacement::writeViewer(s, {g.x() - area.x(), g.y() - area.y(), g.width(), g.height()});
}

void CShowFrame::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        // Closed with a tool open: as the tool's Cancel.
        if (editPanel_)
            editPanel_->cancelTool();
        closed_ = true;
        // Closed before the panel handed its batch over: nothing runs.
        app_.batchHandOver().cancel();
        storePlacement();
        app_.viewerClosed(this, closeApplication_ != 0);
    }
    QMainWindow::closeEvent(event);
}

} // namespace kamelo
