#include "acquirecompletepage.h"

#include "acquirewizard.h"
#include "importworker.h"
#include "resources/qtstrings.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace kamelo::acquire {

CAquireCompletePage::CAquireCompletePage(QWidget* parent)
    : QWizardPage(parent), message_(new QLabel(this)), failures_(new QPlainTextEdit(this)) {
    setTitle(res::qtext(res::IDS_ACQUIRE_FINISHING));
    message_->setWordWrap(true);
    failures_->setReadOnly(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message_);
    layout->addWidget(failures_);
}

void CAquireCompletePage::initializePage() {
    auto* w = static_cast<CAcquireWizard*>(wizard());
    const ImportSummary s = w->run() ? w->run()->summary() : ImportSummary{};
    QStringList lines;
    if (s.total > 0 && s.complete()) {
        message_->setText(res::qtext(res::IDS_ACQUIRE_DONE));
    } else {
        QString text = QString::fromStdString(
            res::format(res::IDS_ACQUIRE_PARTIAL, s.imported, s.skipped, s.failed, s.notReached));
        if (s.stoppedAtClash)
            text += QLatin1Char('\n') + res::qtext(res::IDS_ACQUIRE_STOPPED_AT_CLASH);
        else if (s.cancelled)
            text += QLatin1Char('\n') + res::qtext(res::IDS_ACQUIRE_CANCELLED);
        message_->setText(text);
    }
    if (s.deviceGone)
        lines << res::qtext(res::IDS_ACQUIRE_CAMERA_GONE);
    if (s.alreadyImported > 0)
        lines << QString::fromStdString(
            res::format(res::IDS_ACQUIRE_ALREADY_COUNT, s.alreadyImported));
    if (s.deleted > 0)
        lines << QString::fromStdString(res::format(res::IDS_ACQUIRE_DELETED, s.deleted));
    if (s.deleteFailed > 0)
        lines << QString::fromStdString(
            res::format(res::IDS_ACQUIRE_DELETE_FAILED, s.deleteFailed));
    for (const ImportFailure& f : s.notes)
        lines << QString::fromStdString(
            res::format(res::IDS_ACQUIRE_FAILED_LINE, f.source.c_str(), f.reason.c_str()));
    for (const ImportFailure& f : s.failures)
        lines << QString::fromStdString(
            res::format(res::IDS_ACQUIRE_FAILED_LINE, f.source.c_str(), f.reason.c_str()));
    failures_->setPlainText(lines.join(QLatin1Char('\n')));
    failures_->setVisible(!lines.isEmpty());
}

} // namespace kamelo::acquire
