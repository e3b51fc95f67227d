#include "acquirewizard.h"

#include "acquirecompletepage.h"
#include "acquiredrivespage.h"
#include "acquirefilespage.h"
#include "acquirefirstpage.h"
#include "acquireoptionspage.h"
#include "acquireprogresspage.h"
#include "importworker.h"
#include "resources/qtstrings.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardPaths>
#include <map>

namespace kamelo::acquire {

CAcquireWizard::CAcquireWizard(SettingsStore& store, const DeviceSource& devices,
                               FolderSelector selectFolder, QWidget* parent)
    : QWizard(parent), store_(store), devices_(devices), selectFolder_(std::move(selectFolder)),
      pictures_(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)),
      cameras_([labels = std::make_shared<std::map<std::string, std::string>>()] {
          // Polled while the device page shows: a camera is opened for its
          // storage label only when first seen at its port.
          std::vector<GPhotoCamera::Found> found;
          GPhotoCamera::detect(found, false);
          for (GPhotoCamera::Found& f : found) {
              const auto known = labels->find(f.port + '\n' + f.model);
              if (known != labels->end()) {
                  f.storage = known->second;
                  continue;
              }
              std::unique_ptr<GPhotoCamera> camera;
              if (GPhotoCamera::open(f.model, f.port, camera) == 0)
                  camera->storageLabel(f.storage);
              labels->emplace(f.port + '\n' + f.model, f.storage);
          }
          return found;
      }) {
    setWindowTitle(res::qtext(res::IDS_ACQUIRE_CAPTION));
    setWizardStyle(QWizard::ModernStyle);
    setOption(QWizard::NoBackButtonOnLastPage, true);
    setOption(QWizard::NoCancelButtonOnLastPage, true);
    setButtonText(QWizard::BackButton, res::qtext(res::IDS_WIZARD_BACK));
    setButtonText(QWizard::NextButton, res::qtext(res::IDS_WIZARD_NEXT));
    setButtonText(QWizard::CommitButton, res::qtext(res::IDS_WIZARD_NEXT));
    setButtonText(QWizard::FinishButton, res::qtext(res::IDS_WIZARD_FINISH));
    setButtonText(QWizard::CancelButton, res::qtext(res::IDS_CANCEL));
    setPage(kWelcome, new CAquireFirstPage(this));
    setPage(kDevice, new CAquireDrivesPage(this));
    setPage(kFiles, new CAquireFilesPage(this));
    setPage(kOptions, new CAquireOptionsPage(this));
    setPage(kProgress, new CAquireProgressPage(this));
    setPage(kComplete, new CAquireCompletePage(this));
    setStartId(kWelcome);
}

CAcquireWizard::~CAcquireWizard() {
    stopRun();
}

void CAcquireWizard::stopRun() {
    if (!run_ || run_->finished())
        return;
    run_->stop();
    // A run still busy after the wait ends its current file on its own and
    // deletes no source; it owns nothing of this window.
    if (!run_->waitFinished(kStopWaitMs))
        run_->detach();
}

QString CAcquireWizard::chooseSource() const {
    if (chooseSource_)
        return chooseSource_();
    return QFileDialog::getExistingDirectory(const_cast<CAcquireWizard*>(this),
                                             res::qtext(res::IDS_ACQUIRE_DEVICE_TITLE));
}

void CAcquireWizard::done(int result) {
    stopRun();
    if (result == QDialog::Accepted && currentId() == kComplete) {
        const QString folder = state_.destination;
        const bool shown =
            !folder.isEmpty() && QDir(folder).exists() && selectFolder_ && selectFolder_(folder);
        if (!shown)
            QMessageBox::warning(this, res::qtext(res::IDS_ACQUIRE_CAPTION),
                                 res::qtext(res::IDS_ACQUIRE_NO_TARGET_FOLDER));
    }
    QWizard::done(result);
}

} // namespace kamelo::acquire
