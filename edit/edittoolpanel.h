#pragma once

#include <QString>
#include <QWidget>

#include <functional>

namespace kamelo {
class CEyeDoc;
class CShowView;
class SettingsStore;
} // namespace kamelo

namespace kamelo::edit {

class BatchHandOver;

// The tools of the edit panel, numbered as the panel keeps its current tool.
enum class ToolId : int {
    None = 0,
    Frame = 1,
    Rotate = 2,
    Resize = 3,
    Crop = 4,
    Colour = 5,
    Sharpness = 6
};

// What a tool's sub-panel works on. In viewer mode handOver is null and the
// tool changes the document's displayed picture; in batch mode the tool
// fills the hand-over's records and confirms them.
struct EditContext {
    CShowView* view = nullptr;
    CEyeDoc* doc = nullptr;
    SettingsStore* store = nullptr;
    BatchHandOver* handOver = nullptr;
};

// One tool's sub-panel inside the edit panel. The panel opens one at a time,
// keeps the backup for Cancel and undo, and answers these signals.
class EditToolPanel : public QWidget {
    Q_OBJECT
public:
    explicit EditToolPanel(const EditContext& context, QWidget* parent = nullptr)
        : QWidget(parent), context_(context) {}

    bool batchMode() const { return context_.handOver != nullptr; }
    // Enter that no field or button of the panel kept: the tool's default.
    virtual void enterPressed() = 0;
    // Escape, the bar or frame closed: the panel restores its backup after.
    virtual void cancel() { emit cancelled(); }
    // A double click in the view while the tool is open (the crop's OK).
    virtual void viewDoubleClicked() {}
    // The viewer frame's caption while a batch-mode tool is open.
    virtual QString batchCaption() const { return {}; }

    using Factory = std::function<EditToolPanel*(const EditContext&, QWidget* parent)>;
    // Tools register how their panel is made; the panel opens only
    // registered tools.
    static void registerTool(ToolId tool, Factory factory);
    static EditToolPanel* create(ToolId tool, const EditContext& context, QWidget* parent);
    static bool hasTool(ToolId tool);

signals:
    // OK: the document's picture holds the result (or the batch ran).
    void finished();
    void cancelled();
    // Batch mode: the records went back to the browser; the panel closes.
    void handedOver();
    // The document's picture changed (a live preview): refit and repaint.
    void previewChanged();
    void captionChanged(const QString& caption);

protected:
    EditContext context_;
};

} // namespace kamelo::edit
