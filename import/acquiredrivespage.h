#pragma once

#include "import/camera/gphotocamera.h"
#include "platform/removabledevices.h"

#include <QWizardPage>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace kamelo::acquire {

class CameraSource;
class CameraTaskControl;
struct CameraPhoto;

// The device page: removable volumes, CD-ROMs and attached cameras in one
// column "장치", kept up to date while shown, and any folder the user picks.
// Cameras are detected, and a chosen camera opened and listed, off the
// window's thread; Next waits until the camera's list is complete.
// Next is refused, with a message, when the device holds no accepted file.
class CAquireDrivesPage : public QWizardPage {
    Q_OBJECT
public:
    static constexpr int kTemplate = 391;
    // How often the attached devices are looked at again.
    static constexpr int kPollMs = 2000;
    // How long closing waits for a camera call still going before leaving
    // it to end on its own.
    static constexpr int kStopWaitMs = 3000;
    // Called on the reading's thread after each file listed (tests slow
    // the reading with it).
    using ReadPacer = std::function<void(size_t count, const std::atomic<bool>& stop)>;

    explicit CAquireDrivesPage(QWidget* parent = nullptr);
    ~CAquireDrivesPage() override;
    void initializePage() override;
    void cleanupPage() override;
    bool validatePage() override;
    bool isComplete() const override;
    QTreeWidget* list() const { return list_; }
    QPushButton* chooseFolder() const { return chooseFolder_; }
    QLabel* status() const { return status_; }
    void setReadPacer(ReadPacer pacer) { pacer_ = std::move(pacer); }
    // Lists the devices known now and looks for cameras again.
    void refresh();
    bool reading() const { return read_ && !read_->finished; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // A camera's reading, filled by its task and read here once it is done.
    struct Read {
        QString key; // port and model
        int rc = 0;
        bool gone = false;
        bool finished = false;
        std::shared_ptr<CameraSource> source;
        std::vector<CameraPhoto> photos;
    };
    // A camera is listed by its port as the path, with its model here.
    struct Listed {
        DeviceVolume volume;
        QString cameraModel; // empty for a folder
        bool isCamera() const { return !cameraModel.isEmpty(); }
        QString key() const { return volume.path + '\n' + cameraModel; }
        bool operator==(const Listed& o) const {
            return volume.path == o.volume.path && volume.label == o.volume.label &&
                   cameraModel == o.cameraModel;
        }
    };

    void addFolder();
    void wizardClosed();
    void fill(const QList<Listed>& devices);
    void showDevices();
    void detect();
    const Listed* current() const;
    void currentChanged();
    void startReading(const Listed& device);
    void readingDone(const std::shared_ptr<Read>& read);
    // Ends the camera work; with a wait, bounded, for the window closing.
    void stopReading(bool wait);
    void stopDetecting(bool wait);
    QString failureText() const;

    QTreeWidget* list_;
    QPushButton* chooseFolder_;
    QLabel* status_;
    QTimer* poll_;
    QList<Listed> volumes_;                    // as listed
    QList<Listed> chosen_;                     // folders the user added
    std::vector<GPhotoCamera::Found> cameras_; // as last detected
    std::shared_ptr<CameraTaskControl> detecting_;
    std::shared_ptr<CameraTaskControl> readControl_;
    std::shared_ptr<Read> read_;
    ReadPacer pacer_;
};

} // namespace kamelo::acquire
