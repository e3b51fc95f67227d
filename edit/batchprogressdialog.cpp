#include "batchprogressdialog.h"

#include "batchlog.h"
#include "batchworker.h"
#include "overwriteprompt.h"
#include "resources/qtstrings.h"
#include "resources/stringtable.h"

#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace kamelo::edit {

BatchProgressDialog::BatchProgressDialog(const QString& title, BatchJob job, QWidget* parent)
    : QDialog(parent), job_(std::move(job)), control_(std::make_shared<BatchControl>()),
      log_(new BatchLog(this)), inWork_(new QLabel(this)), bar_(new QProgressBar(this)),
      button_(new QPushButton(res::qtext(res::IDS_PROGRESS_CANCEL), this)) {
    setWindowTitle(title);
    setObjectName(QStringLiteral("batchProgress"));
    log_->setObjectName(QStringLiteral("log"));
    inWork_->setObjectName(QStringLiteral("inWork"));
    // Shortened to the width like the log; never widens the dialog.
    inWork_->setMinimumWidth(1);
    inWork_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar_->setObjectName(QStringLiteral("progress"));
    bar_->setRange(0, 0);
    button_->setObjectName(QStringLiteral("button"));
    button_->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(log_, 1);
    layout->addWidget(inWork_);
    layout->addWidget(bar_);
    layout->addWidget(button_, 0, Qt::AlignHCenter);
    setSizeGripEnabled(true);
    resize(520, 320);
    connect(button_, &QPushButton::clicked, this, &BatchProgressDialog::onButton);
}

BatchProgressDialog::~BatchProgressDialog() {
    // A run still going when the dialog goes finishes its current file and
    // stops; what it still reports is dropped with the connections.
    control_->stop();
}

void BatchProgressDialog::setStopHandler(QObject* context, std::function<void(int)> handler) {
    stopContext_ = context;
    stopHandler_ = std::move(handler);
}

int BatchProgressDialog::exec() {
    startRun();
    return QDialog::exec();
}

void BatchProgressDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Space or Enter answers the one button, whatever it says by then.
    button_->setFocus();
    startRun();
}

void BatchProgressDialog::startRun() {
    if (started_)
        return;
    started_ = true;
    running_ = true;
    BatchWorker* worker = BatchWorker::create(std::move(job_), control_);
    connect(worker, &BatchWorker::started, this, [this](int count) {
        count_ = count;
        bar_->setRange(0, count * kFileSteps);
    });
    connect(worker, &BatchWorker::fileBegun, this, &BatchProgressDialog::fileBegun);
    connect(worker, &BatchWorker::fileProgress, this, [this](int percent) {
        bar_->setValue(
            std::min(done_ * kFileSteps + std::clamp(percent, 0, kFileSteps), bar_->maximum()));
    });
    connect(worker, &BatchWorker::fileWritten, this,
            [this](const QString& source, const QString& destination) {
                append(source + QStringLiteral(" -> ") + destination);
                step();
            });
    connect(
        worker, &BatchWorker::fileNoted, this, [this](const QString& source, const QString& note) {
            append(QString::fromUtf8(res::format(
                res::IDS_BATCH_NOTE_LINE, source.toUtf8().constData(), note.toUtf8().constData())));
        });
    connect(worker, &BatchWorker::fileFailed, this,
            [this](const QString& source, const QString& reason) {
                ++failures_;
                append(QString::fromUtf8(res::format(res::IDS_BATCH_FAILED_LINE,
                                                     source.toUtf8().constData(),
                                                     reason.toUtf8().constData())));
                step();
            });
    connect(worker, &BatchWorker::folderFailed, this,
            [this](const QString& folder, const QString& reason) {
                append(QString::fromUtf8(res::format(res::IDS_BATCH_FOLDER_FAILED,
                                                     folder.toUtf8().constData(),
                                                     reason.toUtf8().constData())));
                running_ = false;
                button_->setText(res::qtext(res::IDS_BATCH_CLOSE));
            });
    connect(worker, &BatchWorker::overwriteAsked, this, &BatchProgressDialog::onOverwriteAsked);
    connect(worker, &BatchWorker::completed, this, &BatchProgressDialog::onCompleted);
    if (stopHandler_) {
        auto handler = stopHandler_;
        connect(worker, &BatchWorker::stopped, stopContext_ ? stopContext_ : this,
                [handler](int count) { handler(count); });
    }
    worker->start();
}

void BatchProgressDialog::append(const QString& line) {
    log_->appendPlainText(line);
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void BatchProgressDialog::step() {
    ++done_;
    bar_->setValue(std::min(done_ * kFileSteps, bar_->maximum()));
}

void BatchProgressDialog::fileBegun(int index, const QString& source) {
    // A skipped file gives no line: the bar catches up with the index.
    done_ = std::max(done_, index);
    bar_->setValue(std::min(done_ * kFileSteps, bar_->maximum()));
    inWorkPath_ = QDir::toNativeSeparators(source);
    inWorkText_ = QString::fromUtf8(
        res::format(res::IDS_BATCH_IN_WORK, index + 1, count_, inWorkPath_.toUtf8().constData()));
    inWork_->setToolTip(inWorkPath_);
    showInWork();
}

void BatchProgressDialog::showInWork() {
    inWork_->setText(inWork_->fontMetrics().elidedText(inWorkText_, Qt::ElideMiddle,
                                                       std::max(0, inWork_->width())));
}

void BatchProgressDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    showInWork();
}

void BatchProgressDialog::onCompleted(int failures) {
    if (failures > 0)
        append(QString::fromUtf8(res::format(res::IDS_BATCH_FAILURE_COUNT, failures)));
    append(res::qtext(res::IDS_BATCH_DONE));
    bar_->setValue(bar_->maximum());
    inWorkText_ = res::qtext(res::IDS_BATCH_DONE);
    inWork_->setToolTip(QString());
    showInWork();
    running_ = false;
    button_->setText(res::qtext(res::IDS_BATCH_CLOSE));
}

void BatchProgressDialog::onOverwriteAsked(const QString& destination) {
    const OverwriteAnswer answer = OverwritePrompt::ask(this, destination);
    control_->answer(answer);
}

void BatchProgressDialog::onButton() {
    if (running_) {
        control_->stop();
        running_ = false;
        QDialog::reject();
    } else {
        QDialog::accept();
    }
}

void BatchProgressDialog::reject() {
    // Escape and the close box: the same as the button.
    if (running_)
        control_->stop();
    running_ = false;
    QDialog::reject();
}

} // namespace kamelo::edit
