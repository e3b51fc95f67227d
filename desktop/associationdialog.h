#pragma once

#include <QDialog>

class QCheckBox;

namespace kamelo {
class SettingsStore;
}

namespace kamelo::desktop {

class Associations;
class AssociationList;

// "이미지 파일과 카멜로를 연결": offered at start-up while some picture types
// open with another program. OK associates the checked rows and gives back
// the unchecked rows that are the program's; the check box is kept as
// "check file association".
class AssociationDialog : public QDialog {
    Q_OBJECT
public:
    AssociationDialog(Associations& associations, SettingsStore& store, QWidget* parent = nullptr);

    AssociationList* list() const { return list_; }
    QCheckBox* dontAsk() const { return dontAsk_; }

    void accept() override;

    // The start-up check: unless the user asked not to, the dialog opens
    // while any of the fourteen types is not the program's.
    static void runStartupCheck(SettingsStore& store, QWidget* parent = nullptr);
    // Runs the changes of rows; the Korean messages of those that failed.
    static QStringList apply(Associations& associations, const AssociationList& list,
                             bool removeUnchecked);

private:
    Associations& associations_;
    SettingsStore& store_;
    AssociationList* list_;
    QCheckBox* dontAsk_;
};

} // namespace kamelo::desktop
