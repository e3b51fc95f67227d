#pragma once

#include "edittoolpanel.h"
#include "imaging/bitmap.h"
#include "viewer/core/picturesource.h"

#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>

class QKeyEvent;
class QToolButton;
class QVBoxLayout;

namespace kamelo::edit {

// The content of the viewer's picture-editing bar: a page of tool buttons,
// one tool's sub-panel at a time in its place, the copy of the picture
// (with the view's modified flag and orientation mark) that Cancel and
// "실행취소" bring back, and the save button.
class EditPanel : public QWidget {
    Q_OBJECT
public:
    EditPanel(CShowView* view, CEyeDoc& doc, SettingsStore* store, QWidget* parent = nullptr);
    ~EditPanel() override;

    // Whether a tool can be opened on the viewer's picture now.
    bool canOpen(ToolId tool) const;
    // Opens a tool on the viewer's picture; false when it cannot.
    bool openTool(ToolId tool);
    // Opens a tool for a browser's batch (the hand-over holds the files).
    bool openBatchTool(ToolId tool, BatchHandOver* handOver);
    ToolId currentTool() const { return current_; }
    EditToolPanel* toolPanel() const { return panel_; }
    bool toolOpen() const { return panel_ != nullptr; }
    bool canUndo() const;
    // "실행취소": the picture as it was when the last tool opened.
    void undo();
    // Esc, the bar or the frame closed: the open tool is cancelled.
    void cancelTool();
    // Enter and Esc that reached the frame while a tool is open; true when
    // taken. Enter kept by a text field stays with the field.
    bool handleKey(QKeyEvent* event);
    // A double click in the view while a tool is open.
    void viewDoubleClicked();
    // The enabling of the button page.
    void refreshButtons();
    QString title() const;
    QToolButton* button(int id) const;

    // Object ids of the page's buttons, as the dialog numbered them.
    static constexpr int kRotateButton = 1129;
    static constexpr int kResizeButton = 1131;
    static constexpr int kCropButton = 1132;
    static constexpr int kColourButton = 1133;
    static constexpr int kSharpenButton = 1064;
    static constexpr int kFrameButton = 1068;
    static constexpr int kSaveButton = 1127;
    static constexpr int kUndoButton = 1329;

signals:
    void titleChanged(const QString& title);
    // "저장하기": the frame runs its Save As.
    void saveRequested();
    // A batch-mode tool's caption for the viewer frame (empty: the normal one).
    void batchCaptionChanged(const QString& caption);
    // A tool opened or closed, or the picture changed by undo.
    void stateChanged();

private:
    struct Backup {
        imaging::Bitmap picture;
        PictureSource source;
        bool modified = false;
        bool orientationMark = false;
    };
    bool open(ToolId tool, BatchHandOver* handOver);
    void toolFinished();
    void toolCancelled();
    void toolHandedOver();
    // Back to the button page; the sub-panel goes.
    void closePanel();
    void restoreBackup();

    QPointer<CShowView> view_;
    CEyeDoc& doc_;
    SettingsStore* store_;
    QVBoxLayout* layout_;
    QWidget* page_;
    std::map<int, QToolButton*> buttons_;
    ToolId current_ = ToolId::None;
    QPointer<EditToolPanel> panel_;
    std::unique_ptr<Backup> backup_;
    bool batch_ = false;
    bool undoable_ = false;
};

} // namespace kamelo::edit
