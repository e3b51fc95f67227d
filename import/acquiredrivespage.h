#pragma once

#include "platform/removabledevices.h"

#include <QWizardPage>

class QTreeWidget;

namespace kamelo::acquire {

// The device page: removable volumes and CD-ROMs in one column "장치".
// Next is refused, with a message, when the device holds no accepted file.
class CAquireDrivesPage : public QWizardPage {
    Q_OBJECT
public:
    static constexpr int kTemplate = 391;
    explicit CAquireDrivesPage(QWidget* parent = nullptr);
    void initializePage() override;
    bool validatePage() override;
    bool isComplete() const override;
    QTreeWidget* list() const { return list_; }

private:
    QTreeWidget* list_;
    QList<DeviceVolume> volumes_; // as listed
};

} // namespace kamelo::acquire
