#include "showframe.h"

#include "app/commandids.h"
#include "app/commandtable.h"
#include "app/displaycolourlink.h"
#include "app/eyeapp.h"
#include "app/mainframe.h"
#include "base/settingsstore.h"
#include "browser/browseview.h"
#include "browser/thumblistctrl.h"
#include "chrome/fileui.h"
#include "chrome/namemessagebox.h"
#include "desktop/wallpapercommand.h"
#include "edit/batchhandover.h"
#include "edit/conversioncommands.h"
#include "edit/editpanel.h"
#include "exif/exifdialog.h"
#include "prefs/prefscommands.h"
#include "print/printcontroller.h"
#include "resources/qtstrings.h"
#include "resources/stringtable.h"
#include "viewer/core/zoomrules.h"
#include "viewer/eyedoc.h"
#include "viewer/readaheadworker.h"
#include "viewer/showview.h"

#include <QActionGroup>
#include <QLabel>

#include <tuple>

namespace kamelo {

// The viewer's commands: each id's action, its enabling rule and what it does.
void CShowFrame::buildCommands() {
    using namespace cmd;
    using K = QKeySequence;
    CommandTable& c = *commands_;
    c.add(kSave, res::IDS_MENU_SAVE_ACCEL, {K(Qt::CTRL | Qt::Key_S)});
    c.add(kSaveAs, res::IDS_MENU_SAVE_AS);
    c.add(kViewerDelete, res::IDS_MENU_DELETE_ACCEL, {K(Qt::Key_Delete)});
    c.addHidden(kDeletePermanently, {K(Qt::SHIFT | Qt::Key_Delete)});
    c.add(kExif, res::IDS_MENU_EXIF_ACCEL, {K(Qt::CTRL | Qt::Key_E)});
    c.add(kViewerPrint, res::IDS_MENU_VIEWER_PRINT, {K(Qt::CTRL | Qt::Key_P)});
    c.add(kViewerExit, res::IDS_MENU_VIEWER_EXIT, {K(Qt::Key_Escape)});
    c.add(kBackToBrowser, res::IDS_MENU_BACK_TO_BROWSER_ACCEL,
          {K(Qt::Key_Return), K(Qt::Key_Enter)});
    c.add(kFullScreen, res::IDS_MENU_FULL_SCREEN_ACCEL,
          {K(Qt::ALT | Qt::Key_Return), K(Qt::ALT | Qt::Key_Enter)});
    c.add(kEditMode, res::IDS_EDIT_MODE_ON, {K(Qt::Key_E)});
    c.add(kNextPicture, res::IDS_MENU_NEXT_PICTURE, {K(Qt::Key_PageDown), K(Qt::Key_Space)});
    c.add(kPreviousPicture, res::IDS_MENU_PREV_PICTURE, {K(Qt::Key_PageUp), K(Qt::Key_Backspace)});
    c.add(kFirstPicture, res::IDS_MENU_FIRST_PICTURE, {K(Qt::Key_Home)});
    c.add(kLastPicture, res::IDS_MENU_LAST_PICTURE, {K(Qt::Key_End)});
    c.addHidden(kArrowLeft, {K(Qt::Key_Left)});
    c.addHidden(kArrowRight, {K(Qt::Key_Right)});
    c.addHidden(kArrowUp, {K(Qt::Key_Up)});
    c.addHidden(kArrowDown, {K(Qt::Key_Down)});
    // The keypad keys are read in keyPressEvent (a shortcut with the keypad
    // modifier never matches under X11); the menus still name them.
    for (const auto& [id, text, key] :
         {std::tuple{kZoomIn, res::IDS_MENU_ZOOM_IN, Qt::Key_Plus},
          std::tuple{kZoomOut, res::IDS_MENU_ZOOM_OUT, Qt::Key_Minus},
          std::tuple{kActualSize, res::IDS_MENU_ACTUAL_SIZE, Qt::Key_Slash},
          std::tuple{kAutoFit, res::IDS_MENU_AUTO_FIT, Qt::Key_Asterisk}}) {
        QAction* a = c.add(id, text);
        a->setText(a->text() + QLatin1Char('\t') +
                   K(Qt::KeypadModifier | key).toString(QKeySequence::NativeText));
    }
    c.add(kZoomRatio, res::IDS_MENU_ZOOM_RATIO, {K(Qt::CTRL | Qt::Key_Z)});
    c.add(kFixedRatio, res::IDS_MENU_FIXED_RATIO);
    c.add(kSlideShow, res::IDS_MENU_SLIDE_SHOW, {K(Qt::Key_S)});
    c.add(kCopyToClipboard, res::IDS_MENU_COPY_TO_CLIPBOARD, {K(Qt::ALT | Qt::Key_C)});
    c.add(kNextFrame, res::IDS_MENU_NEXT_FRAME);
    c.add(kPreviousFrame, res::IDS_MENU_PREV_FRAME);
    c.add(kRotate, res::IDS_MENU_ROTATE, {K(Qt::CTRL | Qt::Key_J)});
    c.add(kResize, res::IDS_MENU_RESIZE, {K(Qt::Key_R)});
    c.add(kConvert, res::IDS_MENU_CONVERT, {K(Qt::Key_F)});
    c.add(kColour, res::IDS_MENU_COLOUR, {K(Qt::Key_H)});
    c.add(kCrop, res::IDS_MENU_CROP, {K(Qt::Key_K)});
    c.add(kFrameDecoration, res::IDS_MENU_FRAME_DECORATION, {K(Qt::Key_D)});
    c.add(kPreferences, res::IDS_MENU_PREFERENCES, {K(Qt::CTRL | Qt::Key_O)});
    c.add(kWallpaperCenter, res::IDS_MENU_WALLPAPER_CENTER);
    c.add(kWallpaperTile, res::IDS_MENU_WALLPAPER_TILE);
    c.add(kWallpaperStretch, res::IDS_MENU_WALLPAPER_STRETCH);
    c.add(kWallpaperRestore, res::IDS_MENU_WALLPAPER_RESTORE);

    // In full screen, Enter and Esc leave full screen instead.
    c.setHandler(kBackToBrowser, [this] {
        if (fullScreen_)
            restoreFromFullScreen();
        else
            app_.returnToBrowser();
    });
    c.setHandler(kViewerExit, [this] {
        if (fullScreen_) {
            restoreFromFullScreen();
            return;
        }
        closeApplication_ = 1;
        close();
    });
    // While a tool is open Esc is the tool's Cancel (keyPressEvent).
    c.setRule(kViewerExit, [this] { return fullScreen_ || !view_->editLock(); });
    c.setHandler(kFullScreen, [this] { enterFullScreen(); });
    // S: full screen first, then the show; S again stops it.
    c.setHandler(kSlideShow, [this] {
        if (view_->slideShowRunning()) {
            view_->stopSlideShow();
            return;
        }
        enterFullScreen();
        view_->startSlideShow();
    });
    c.setRule(kSlideShow, [this] { return view_->hasPicture() && !view_->editLock(); });
    c.setRule(kFullScreen,
              [this] { return !fullScreen_ && view_->hasPicture() && !view_->editLock(); });
    c.setRule(kBackToBrowser, [this] { return !view_->editLock(); });
    c.setRule(kEditMode, [this] { return !view_->editLock(); });
    c.setHandler(kEditMode, [this] { toggleEditBar(); });
    wireViewCommands();
    buildContextMenu();
    c.setHandler(kSave, [this] { saveOverFile(); });
    // Save only what was changed and is not being edited right now.
    c.setRule(kSave, [this] { return !view_->editLock() && view_->isModified(); });
    c.setHandler(kSaveAs, [this] { saveAs(); });
    c.setRule(kSaveAs, [this] { return !view_->editLock() && view_->hasPicture(); });
    c.setHandler(kPreferences, [this] {
        // After "적용" as after OK.
        const auto takeEffect = [this] {
            if (DisplayColourLink* colour = app_.colourLink())
                colour->settingsChanged(app_.settings());
            view_->reloadOptions();
            if (CMainFrame* browser = app_.madeMainFrame())
                browser->refreshFolder(CThumbListCtrl::Refresh::Full);
        };
        if (prefs::runPreferences(this, app_.settings(), *app_.store(),
                                  app_.folders().programFolder, takeEffect))
            takeEffect();
    });
    // The viewer's own numbers for the same commands (1258-1261).
    const int viewerWallpaper[] = {kWallpaperCenter, kWallpaperTile, kWallpaperStretch,
                                   kWallpaperRestore};
    for (int i = 0; i < 4; ++i)
        c.setHandler(viewerWallpaper[i], [this, i] {
            // The picture as shown, not the file again.
            const imaging::Bitmap& shown = app_.doc().displayed();
            desktop::runWallpaperCommand(this, *app_.store(), 1258 + i, view_->currentPath(),
                                         shown.isAllocated() ? &shown : nullptr);
        });
    c.setHandler(kExif, [this] {
        const std::string path = app_.doc().list().currentPath();
        if (!path.empty())
            CExifDlg::open(QString::fromStdString(path), this);
    });
    c.setRule(kExif, [this] { return view_->hasPicture(); });
    c.setHandler(kConvert, [this] { convertShown(); });
    wireBatchHandOver();
    wireEditCommands();
    c.setRule(kConvert, [this] { return !view_->editLock() && view_->hasPicture(); });
    // The viewer prints the picture it shows, wherever paging has gone.
    auto* printing = new PrintController(this, app_.store(), app_.printFileList());
    c.setHandler(kViewerPrint, [this, printing] {
        const std::string path = app_.doc().list().currentPath();
        printing->print(path.empty() ? std::vector<std::string>{} : std::vector{path});
    });
    c.setRule(kViewerPrint, [this] { return view_->hasPicture() && !view_->editLock(); });
}

void CShowFrame::wireViewCommands() {
    using namespace cmd;
    using Step = CShowView::Step;
    CommandTable& c = *commands_;
    CShowView* v = view_;
    auto picture = [this] { return !view_->editLock() && view_->hasPicture(); };
    const std::pair<int, Step> steps[] = {
        {kNextPicture, Step::Next},
        {kPreviousPicture, Step::Previous},
        {kFirstPicture, Step::First},
        {kLastPicture, Step::Last},
    };
    for (const auto& [id, step] : steps) {
        c.setHandler(id, [v, step] { v->navigate(step); });
        c.setRule(id, [v] { return v->canNavigate(); });
    }
    // With the selection tool active the arrows move the selection instead.
    const std::pair<int, QPoint> arrows[] = {{kArrowLeft, QPoint(-1, 0)},
                                             {kArrowRight, QPoint(1, 0)},
                                             {kArrowUp, QPoint(0, -1)},
                                             {kArrowDown, QPoint(0, 1)}};
    for (const auto& [id, delta] : arrows) {
        const Step step = id == kArrowLeft    ? Step::Previous
                          : id == kArrowRight ? Step::Next
                          : id == kArrowUp    ? Step::First
                                              : Step::Last;
        c.setHandler(id, [v, delta, step] {
            if (v->selectionActive())
                v->moveSelection(delta.x(), delta.y());
            else
                v->navigate(step);
        });
        c.setRule(id, [v] { return v->selectionActive() || v->canNavigate(); });
    }
    c.setHandler(kZoomIn, [v] { v->zoomIn(); });
    c.setHandler(kZoomOut, [v] { v->zoomOut(); });
    c.setHandler(kZoomRatio, [v] { v->askZoomRatio(); });
    for (int id : {kZoomIn, kZoomOut, kZoomRatio})
        c.setRule(id, [v] { return v->hasPicture(); });
    // One of the three zoom modes is checked, the view's.
    auto* modes = new QActionGroup(this);
    modes->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (const auto& [id, mode] :
         {std::pair{kActualSize, CShowView::kActualSize}, std::pair{kAutoFit, CShowView::kAutoFit},
          std::pair{kFixedRatio, CShowView::kFixedRatio}}) {
        c.action(id)->setCheckable(true);
        modes->addAction(c.action(id));
        c.setHandler(id, [this, v, mode] {
            v->setZoomMode(mode);
            updateZoomChecks();
        });
        c.setRule(id, picture);
    }
    c.setHandler(kCopyToClipboard, [v] { v->copyToClipboard(); });
    c.setRule(kCopyToClipboard, picture);
    c.setHandler(kViewerDelete, [v] { v->deleteCurrent(false, FileUi::standard()); });
    c.setHandler(kDeletePermanently, [v] { v->deleteCurrent(true, FileUi::standard()); });
    c.setRule(kViewerDelete, picture);
    c.setRule(kDeletePermanently, picture);
    c.setHandler(kNextFrame, [v] { v->stepFrame(true); });
    c.setHandler(kPreviousFrame, [v] { v->stepFrame(false); });
    for (int id : {kNextFrame, kPreviousFrame})
        c.setRule(id, [v] { return v->isAnimated() && v->frameCount() > 1 && !v->editLock(); });
    connect(v, &CShowView::zoomChanged, this, [this] {
        updateStatus(view_->currentPath(), app_.doc().list().current() + 1,
                     app_.doc().list().count());
        updateZoomChecks();
    });
    connect(v, &CShowView::pictureChanged, this, &CShowFrame::updateZoomChecks);
    connect(v, &CShowView::saveRequested, this, &CShowFrame::saveOverFile);
    connect(v, &CShowView::doubleClicked, this,
            [this] { commands_->action(cmd::kBackToBrowser)->trigger(); });
    connect(v, &CShowView::progress, this, [this](int percent) {
        const bool running = percent > 0 && percent < 100;
        panes_[2]->setText(running ? QStringLiteral("%1%").arg(percent) : panes_[2]->text());
    });
    connect(v, &CShowView::pathRemoved, this, [this](const QString& path) {
        // The browser's list loses the file too, unless it never showed it.
        if (!app_.openedWithFile())
            if (CMainFrame* m = app_.madeMainFrame())
                m->browseView()->list()->removePath(path);
    });
}

} // namespace kamelo
