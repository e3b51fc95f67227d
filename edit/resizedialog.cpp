#include "resizedialog.h"

#include "base/settingsstore.h"
#include "batchprogressdialog.h"
#include "resizeform.h"
#include "resizeops.h"
#include "resources/qtstrings.h"
#include "resources/stringtable.h"

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace kamelo::edit {

ResizeDialog::ResizeDialog(const ResizeSettings& settings, const QString& folder, QWidget* parent)
    : QDialog(parent), form_(new ResizeForm(true, this)) {
    setWindowTitle(res::qtext(res::IDS_RESIZE_TOOL));
    form_->setSettings(settings);
    form_->setFolder(folder);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(res::qtext(res::IDS_OK), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(res::qtext(res::IDS_CANCEL), QDialogButtonBox::RejectRole);
    buttons->setCenterButtons(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(form_);
    layout->addWidget(buttons);
}

ResizeSettings ResizeDialog::settings() const {
    return form_->settings();
}

QString ResizeDialog::folder() const {
    return form_->folder();
}

void ResizeDialog::accept() {
    const QString problem = form_->problem();
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, res::qtext(res::IDS_RESIZE_TOOL), problem);
        return;
    }
    QDialog::accept();
}

void ResizeDialog::resizeFiles(QWidget* parent, SettingsStore& store,
                               std::vector<std::string> sources, const QString& currentFolder,
                               bool upright, QObject* context, std::function<void(int)> onStopped) {
    if (sources.empty())
        return;
    ResizeDialog dialog(ResizeSettings::read(store), currentFolder + QStringLiteral("/resized"),
                        parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const ResizeSettings chosen = dialog.settings();
    chosen.write(store, true);
    BatchJob job;
    job.sources = std::move(sources);
    job.upright = upright;
    job.step = ResizeOps::step(chosen);
    if (chosen.saveMode == ResizeSettings::SaveToFolder) {
        job.mode = DestinationMode::Folder;
        job.folder = dialog.folder().toStdString();
    } else {
        job.mode = DestinationMode::Overwrite; // the sources, without a question
    }
    BatchProgressDialog progress(res::qtext(res::IDS_RESIZE_TOOL), std::move(job), parent);
    progress.setStopHandler(context, std::move(onStopped));
    progress.exec();
}

} // namespace kamelo::edit
