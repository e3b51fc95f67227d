#pragma once

#include "batchoperation.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <string>
#include <vector>

class QWidget;

namespace kamelo {
class CEyeDoc;
}

namespace kamelo::edit {

// A batch that a browser command hands to the viewer's edit panel and the
// panel hands back: the selected paths and one record per file go to the
// panel; the panel returns the filled records with the destination, and the
// browser runs the progress dialog over them.
class BatchHandOver : public QObject {
    Q_OBJECT
public:
    // Tools register what their runs do; a tool without an operation cannot
    // be started.
    static void registerOperation(EditTool tool, BatchOperation operation);
    static bool hasOperation(EditTool tool);

    // Where the progress dialog opens, and what the stopped run calls.
    void setDialogParent(QWidget* parent) { parent_ = parent; }
    // The document whose picture the panel shows: a batch is run only
    // while it is the picture of one of the batch's files.
    void setDocument(const CEyeDoc* doc) { doc_ = doc; }
    void setStopHandler(std::function<void(int)> handler) { onStopped_ = std::move(handler); }
    // Whether the run turns pictures upright by their EXIF orientation, as
    // the viewer shows them.
    void setUpright(bool upright) { upright_ = upright; }
    bool upright() const { return upright_; }

    // Browser side: paths in list order, records made fresh for each.
    // False when a hand-over is already open or nothing is given.
    bool begin(EditTool tool, std::vector<std::string> paths);
    // Once the viewer shows the first picture: asks for the panel.
    void requestPanel();
    bool active() const { return active_; }
    EditTool tool() const { return tool_; }
    const std::vector<std::string>& paths() const { return paths_; }
    const std::vector<std::any>& records() const { return records_; }

    // Panel side. The records are paired with paths() by index. Refused
    // (false, the hand-over cancelled, nothing run) when the document's
    // picture is none of the files' own.
    bool confirm(std::vector<std::any> records, DestinationMode mode, std::string folder);
    // The panel was cancelled or the viewer closed: nothing runs.
    void cancel();

signals:
    void panelRequested(EditTool tool, int fileCount);
    void closePanelRequested();
    // The hand-over is over (ran: the progress dialog ran and closed).
    void finished(bool ran);

private:
    QPointer<QWidget> parent_;
    const CEyeDoc* doc_ = nullptr;
    std::function<void(int)> onStopped_;
    bool active_ = false;
    bool upright_ = true;
    EditTool tool_ = EditTool::Rotate;
    std::vector<std::string> paths_;
    std::vector<std::any> records_;
};

} // namespace kamelo::edit
