#pragma once

#include "import/camerasource.h"
#include "import/core/acquirenaming.h"
#include "platform/removabledevices.h"

#include <QString>
#include <QWizard>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kamelo {
class SettingsStore;
}

namespace kamelo::acquire {

class ImportControl;

// What the pages hand on to each other.
struct AcquireState {
    DeviceVolume device;
    std::vector<std::string> files; // checked sources, in list order
    std::vector<std::string> names; // destination names; empty for the date rule
    QString destination;            // the folder files go to
    NamingOptions naming;
    bool deleteSource = false;
    bool autoRotate = true;
    bool skipImported = false;
    // A camera chosen on the device page: its files as listed, and those
    // checked (in the order of files).
    std::shared_ptr<CameraSource> camera;
    std::vector<CameraPhoto> cameraPhotos;
    std::vector<CameraPhoto> cameraChosen;
};

// The import wizard of command 32885: welcome, device, files, options,
// progress and complete pages, with header titles and subtitles.
class CAcquireWizard : public QWizard {
    Q_OBJECT
public:
    enum PageId { kWelcome, kDevice, kFiles, kOptions, kProgress, kComplete };
    // How long closing waits for a running copy before leaving it to end
    // on its own without deleting sources.
    static constexpr int kStopWaitMs = 3000;
    using FolderSelector = std::function<bool(const QString& folder)>;
    // The cameras attached now; the program asks libgphoto2.
    using CameraLister = std::function<std::vector<GPhotoCamera::Found>()>;
    // A folder the user picks as the source.
    using SourceChooser = std::function<QString()>;

    CAcquireWizard(SettingsStore& store, const DeviceSource& devices, FolderSelector selectFolder,
                   QWidget* parent = nullptr);
    ~CAcquireWizard() override;

    AcquireState& state() { return state_; }
    SettingsStore& store() { return store_; }
    const DeviceSource& devices() const { return devices_; }
    // The folder offered when no destination was used before.
    QString picturesFolder() const { return pictures_; }
    void setPicturesFolder(const QString& folder) { pictures_ = folder; }
    void setCameraLister(CameraLister lister) { cameras_ = std::move(lister); }
    // A copy for a worker thread, which may outlive the wizard.
    CameraLister cameraLister() const { return cameras_; }
    std::vector<GPhotoCamera::Found> cameras() const {
        return cameras_ ? cameras_() : std::vector<GPhotoCamera::Found>{};
    }
    void setSourceChooser(SourceChooser chooser) { chooseSource_ = std::move(chooser); }
    QString chooseSource() const;

    // The run of the progress page, held so closing can stop it.
    void setRun(std::shared_ptr<ImportControl> control) { run_ = std::move(control); }
    const std::shared_ptr<ImportControl>& run() const { return run_; }

    void done(int result) override;

private:
    void stopRun();

    SettingsStore& store_;
    const DeviceSource& devices_;
    FolderSelector selectFolder_;
    QString pictures_;
    CameraLister cameras_;
    SourceChooser chooseSource_;
    AcquireState state_;
    std::shared_ptr<ImportControl> run_;
};

} // namespace kamelo::acquire
