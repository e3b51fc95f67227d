#pragma once

#include "browser/thumblistctrl.h"

#include <QMainWindow>

#include <memory>

class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QToolButton;

namespace kamelo {

namespace edit {
enum class EditTool : int;
}

class CBrowseView;
class CacheIndex;
class CEyeApp;
class CInfoView;
class CLeftView;
class CommandTable;

// The browser frame: folder tree and preview pane in the left column, the
// list host view on the right, menus, toolbar and status bar.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CEyeApp& app);
    ~CMainFrame() override;

    CLeftView* leftView() const { return left_; }
    CInfoView* infoView() const { return info_; }
    CBrowseView* browseView() const { return browse_; }
    QSplitter* outerSplitter() const { return outer_; }
    QSplitter* innerSplitter() const { return inner_; }
    CommandTable* commands() const { return commands_; }
    QLabel* statusPane(int index) const;

    // Places the frame by the stored "position" values (with the defaults
    // and clamps) on the current work area.
    void placeFromSettings();
    // Stores the window rectangle in the "position" values.
    void storePlacement();
    // Lays the panes out by the split ratios (on every size change).
    void layoutPanes();
    // Called when the user has finished dragging a splitter bar.
    void splitterDragged(QSplitter* splitter);
    void setFolderPaneShown(bool shown);
    void setInfoPaneShown(bool shown);
    // Command 1296: hands the list's pictures to the document and opens the viewer.
    // hideBrowser false: the browser stays in sight (a batch edit).
    void enterViewer(bool hideBrowser = true);
    // Back from the viewer: lists the current picture's folder again with the
    // picture selected, then shows the frame at its stored place.
    void showBrowserAgain(const QString& currentPath);
    // The folder listed when the program starts without a picture.
    static QString startFolder();
    // Thumbnail progress in the status bar: "%d%%" and a bar; 0 ends it.
    void showProgress(int percent);

    // Lists the current folder again (after a batch run wrote into it).
    void refreshFolder(CThumbListCtrl::Refresh refresh);
    // The same with the selected files still selected (the ones listed
    // again, returned), so the next operation needs no new selection.
    QStringList refreshKeepingSelection();
    // After a run over the selection: the selection kept, and the files it
    // may have replaced shown with their new content.
    void refreshAfterRun();
    // The program wrote path: its cell and cached thumbnail show the new
    // content (listed: the list shows the folder now; else its cache goes).
    void pictureWritten(const QString& path, bool listed);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    enum class Focus { Other, Address, List, Tree };
    // The pane the commands work on: the focused one, or while the menu bar
    // or a menu has the keyboard, the one focused before.
    Focus focusTarget() const;
    Focus paneOf(const QWidget* widget) const;
    bool isMenuFocus(const QWidget* widget) const;
    void buildCommands();
    void buildMenus();
    void buildContextMenus();
    void wireTree();
    void openLastFolder();
    void newFolderInList();
    // 1291 / 1292: the camera information of the list's focused item.
    void showCameraInformation();
    void updateChecks();
    void buildToolBar();
    void buildStatusBar();
    void applyPaneVisibility();
    bool listRule(bool needPicture) const;
    std::vector<std::string> selectedPicturePaths() const;
    // 1262 / 1263: the selected pictures to another format.
    void convertSelection();
    // 1269, 1303, 1297: the selection handed to the viewer's edit panel.
    void resizeSelection();
    void startBatchEdit(edit::EditTool tool);

    CEyeApp& app_;
    CommandTable* commands_;
    QSplitter* outer_;
    QSplitter* inner_;
    CLeftView* left_;
    CInfoView* info_;
    CBrowseView* browse_;
    QToolButton* wallpaperButton_ = nullptr;
    QLabel* panes_[3] = {nullptr, nullptr, nullptr};
    QProgressBar* progress_ = nullptr;
    QMenu* itemMenu_ = nullptr;
    QMenu* spaceMenu_ = nullptr;
    std::unique_ptr<CacheIndex> cacheIndex_;
    bool stored_ = false;
    Focus remembered_ = Focus::Other;
};

} // namespace kamelo
