#include "batchhandover.h"

#include "batchprogressdialog.h"
#include "resources/qtstrings.h"
#include "viewer/eyedoc.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace kamelo::edit {

namespace {
std::map<EditTool, BatchOperation>& operations() {
    static std::map<EditTool, BatchOperation> table;
    return table;
}
} // namespace

void BatchHandOver::registerOperation(EditTool tool, BatchOperation operation) {
    operations()[tool] = std::move(operation);
}

bool BatchHandOver::hasOperation(EditTool tool) {
    return operations().count(tool) != 0;
}

bool BatchHandOver::begin(EditTool tool, std::vector<std::string> paths) {
    if (active_ || paths.empty() || !hasOperation(tool))
        return false;
    const BatchOperation& op = operations()[tool];
    active_ = true;
    tool_ = tool;
    paths_ = std::move(paths);
    records_.clear();
    for (size_t i = 0; i < paths_.size(); ++i)
        records_.push_back(op.newRecord ? op.newRecord() : std::any());
    return true;
}

void BatchHandOver::requestPanel() {
    if (active_)
        emit panelRequested(tool_, int(paths_.size()));
}

bool BatchHandOver::confirm(std::vector<std::any> records, DestinationMode mode,
                            std::string folder) {
    if (!active_)
        return false;
    // The settings were chosen on the picture shown: it must be one of the
    // files' own, never a picture left from before.
    bool own = !doc_;
    for (size_t i = 0; !own && i < paths_.size(); ++i)
        own = doc_->pictureMatches(paths_[i]) == PictureSource::Match::Same;
    if (!own) {
        const QByteArray name =
            QFileInfo(QString::fromStdString(paths_.front())).fileName().toUtf8();
        QMessageBox::warning(parent_, res::qtext(res::IDS_APP_TITLE),
                             QString::fromUtf8(res::format(res::IDS_MSG_BATCH_PICTURE_NOT_OF_FILE,
                                                           name.constData())));
        cancel();
        return false;
    }
    const BatchOperation op = operations()[tool_];
    BatchJob job;
    job.sources = std::move(paths_);
    // A short array from the panel gets fresh records; extra ones are dropped.
    records.resize(job.sources.size());
    for (std::any& r : records)
        if (!r.has_value() && op.newRecord)
            r = op.newRecord();
    job.records = std::move(records);
    job.mode = mode;
    job.folder = std::move(folder);
    job.askBeforeOverwrite = op.askBeforeOverwrite;
    job.step = op.step;
    job.upright = upright_;
    job.uprightFor = op.uprightFor;
    job.directWrite = op.directWrite;
    active_ = false;
    records_.clear();
    paths_.clear();
    emit closePanelRequested();
    {
        BatchProgressDialog dialog(res::qtext(op.titleId), std::move(job), parent_);
        if (onStopped_)
            dialog.setStopHandler(this, onStopped_);
        dialog.exec();
    }
    emit finished(true);
    return true;
}

void BatchHandOver::cancel() {
    if (!active_)
        return;
    active_ = false;
    records_.clear();
    paths_.clear();
    emit finished(false);
}

} // namespace kamelo::edit
