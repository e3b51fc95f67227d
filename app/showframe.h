#pragma once

#include <QMainWindow>

class QDockWidget;
class QLabel;
class QMenu;
class QToolBar;

namespace kamelo {

namespace edit {
class EditPanel;
}

class CEyeApp;
class CShowView;
class CommandTable;

// The viewer frame: one picture in CShowView, the viewer menu, toolbar,
// status bar and the picture-editing bar docked on the right.
class CShowFrame : public QMainWindow {
    Q_OBJECT
public:
    CShowFrame(CEyeApp& app, int openFlag);
    ~CShowFrame() override;

    CShowView* view() const { return view_; }
    CommandTable* commands() const { return commands_; }
    QDockWidget* editBar() const { return editBar_; }
    edit::EditPanel* editPanel() const { return editPanel_; }
    QLabel* statusPane(int index) const;
    bool isFullScreenMode() const { return fullScreen_; }
    int closeApplication() const { return closeApplication_; }
    void setCloseApplication(int flag) { closeApplication_ = flag; }
    int viewerReady() const { return viewerReady_; }

    // Shows the frame by its stored placement and starts the view.
    void initialUpdate();
    // Sizes the frame around a picture of this client size (not when maximized).
    void fitToPicture(int width, int height);
    void enterFullScreen();
    void restoreFromFullScreen();
    void toggleEditBar();
    // Status panes: "%d/%d", the file name and the picture information line.
    void updateStatus(const QString& path, int position, int count);
    // 57603: the shown picture over its own file.
    void saveOverFile();
    void updateZoomChecks();
    // 57604: the Save As dialog with its JPEG panel for the shown picture.
    void saveAs();
    // 1262: the shown picture beside its file in another format.
    void convertShown();
    void wireBatchHandOver();
    QMenu* contextMenu() const { return contextMenu_; }

protected:
    // The numeric keypad's zoom keys (Num+, Num-, Num/, Num*).
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // The edit bar closed by its own button: an open tool is cancelled.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildCommands();
    void buildMenus();
    void wireViewCommands();
    void buildContextMenu();
    void storePlacement();
    void updateEditModeText();
    void buildEditPanel();
    // 1269, 1264, 1303, 1289: the bar shown and the tool opened.
    void wireEditCommands();
    // The viewer's list and commands after Save As wrote path.
    void afterSaveAs(const QString& path);
    // A file the viewer wrote: the browser shows its new content.
    void pictureWritten(const QString& path);

    CEyeApp& app_;
    int openFlag_;
    CommandTable* commands_;
    CShowView* view_;
    QToolBar* toolBar_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    QDockWidget* editBar_ = nullptr;
    edit::EditPanel* editPanel_ = nullptr;
    QLabel* panes_[3] = {nullptr, nullptr, nullptr};
    QRect savedGeometry_; // the window's place before full screen
    bool fullScreen_ = false;
    bool wasMaximized_ = false;
    int editBarShown_ = 0;
    int closeApplication_ = 1;
    int viewerReady_ = 1;
    bool closed_ = false;
    // A batch tool waiting for the first file's own picture.
    QMetaObject::Connection batchWait_;
    // The slide show skipped a picture: said once beside the next name.
    QString skipNote_;
};

} // namespace kamelo
