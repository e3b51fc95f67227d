#include "acquireprogresspage.h"

#include "acquireclashdialog.h"
#include "acquirewizard.h"
#include "importworker.h"
#include "previewloader.h"
#include "resources/qtstrings.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

namespace kamelo::acquire {

namespace {
const QSize kPreviewBox(160, 120);
}

CAquireProgressPage::CAquireProgressPage(QWidget* parent)
    : QWizardPage(parent), fileName_(new QLineEdit(this)), preview_(new QLabel(this)),
      bar_(new QProgressBar(this)), loader_(new PreviewLoader(kPreviewBox, this)) {
    setTitle(res::qtext(res::IDS_ACQUIRE_PROGRESS_TITLE));
    setSubTitle(res::qtext(res::IDS_ACQUIRE_PROGRESS_SUBTITLE));
    fileName_->setReadOnly(true);
    preview_->setFixedSize(kPreviewBox);
    preview_->setAlignment(Qt::AlignCenter);
    preview_->setFrameShape(QFrame::StyledPanel);
    auto* form = new QFormLayout;
    form->addRow(res::qtext(res::IDS_ACQUIRE_FILE_NAME), fileName_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(preview_, 0, Qt::AlignHCenter);
    layout->addWidget(bar_);
    layout->addStretch();
    connect(loader_, &PreviewLoader::ready, this, [this](const QString&, const QImage& image) {
        if (!image.isNull())
            preview_->setPixmap(QPixmap::fromImage(image));
    });
}

void CAquireProgressPage::initializePage() {
    auto* w = static_cast<CAcquireWizard*>(wizard());
    const AcquireState& st = w->state();
    finished_ = false;
    bar_->setRange(0, std::max<int>(1, int(st.files.size())));
    bar_->setValue(0);
    ImportJob job;
    job.sources = st.files;
    job.names = st.names;
    job.folder = st.destination.toStdString();
    job.naming = st.naming;
    job.autoRotate = st.autoRotate;
    job.deleteSource = st.deleteSource;
    job.skipImported = st.skipImported;
    job.mayDelete = st.device.mayDelete();
    if (st.camera) {
        st.camera->prepare(st.cameraChosen, job.folder);
        job.fetcher = st.camera;
    }
    auto control = std::make_shared<ImportControl>();
    w->setRun(control);
    ImportWorker* worker = ImportWorker::create(std::move(job), control);
    connect(worker, &ImportWorker::started, this,
            [this](int count) { bar_->setRange(0, std::max(1, count)); });
    connect(worker, &ImportWorker::copying, this, [this](const QString&, const QString& to) {
        fileName_->setText(to);
        bar_->setValue(std::min(bar_->maximum(), bar_->value() + 1));
        loader_->request(to);
    });
    connect(worker, &ImportWorker::clashAsked, this, &CAquireProgressPage::askClash);
    connect(worker, &ImportWorker::done, this, [this] {
        finished_ = true;
        bar_->setValue(bar_->maximum());
        emit completeChanged();
        QPointer<QWizard> wiz(wizard());
        QTimer::singleShot(0, this, [wiz] {
            if (wiz && wiz->currentId() == CAcquireWizard::kProgress)
                wiz->next();
        });
    });
    worker->start();
}

void CAquireProgressPage::askClash(const QString& existing, const QString& source) {
    auto* w = static_cast<CAcquireWizard*>(wizard());
    const std::shared_ptr<ImportControl> control = w->run();
    CAcquireClashDialog dialog(existing, source, this);
    dialog.exec();
    if (control)
        control->answer(dialog.choice());
}

} // namespace kamelo::acquire
