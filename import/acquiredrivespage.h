#pragma once

#include "platform/removabledevices.h"

#include <QWizardPage>

class QPushButton;
class QTimer;
class QTreeWidget;

namespace kamelo::acquire {

// The device page: removable volumes, CD-ROMs and attached cameras in one
// column "장치", kept up to date while shown, and any folder the user picks.
// Next is refused, with a message, when the device holds no accepted file.
class CAquireDrivesPage : public QWizardPage {
    Q_OBJECT
public:
    static constexpr int kTemplate = 391;
    // How often the attached devices are looked at again.
    static constexpr int kPollMs = 2000;
    explicit CAquireDrivesPage(QWidget* parent = nullptr);
    void initializePage() override;
    bool validatePage() override;
    bool isComplete() const override;
    QTreeWidget* list() const { return list_; }
    QPushButton* chooseFolder() const { return chooseFolder_; }
    // Lists the devices again when they changed.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void addFolder();

    QTreeWidget* list_;
    QPushButton* chooseFolder_;
    QTimer* poll_;
    // A camera is listed by its port as the path, with its model here.
    struct Listed {
        DeviceVolume volume;
        QString cameraModel; // empty for a folder
        bool isCamera() const { return !cameraModel.isEmpty(); }
        bool operator==(const Listed& o) const {
            return volume.path == o.volume.path && volume.label == o.volume.label &&
                   cameraModel == o.cameraModel;
        }
    };
    void fill(const QList<Listed>& devices);
    bool openCamera(const Listed& device);
    QList<Listed> volumes_; // as listed
    QList<Listed> chosen_;  // folders the user added
};

} // namespace kamelo::acquire
