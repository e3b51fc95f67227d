#pragma once

#include <QWizardPage>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace kamelo::acquire {

// The options page: naming rule, group name, date form, destination folder
// and sub-folder, delete source and auto rotate. Next makes the folder,
// names the files and stores the choices.
class CAquireOptionsPage : public QWizardPage {
    Q_OBJECT
public:
    static constexpr int kTemplate = 395;
    explicit CAquireOptionsPage(QWidget* parent = nullptr);
    void initializePage() override;
    bool validatePage() override;

    QLineEdit* groupName() const { return group_; }
    QLineEdit* subFolder() const { return subFolder_; }
    QComboBox* destination() const { return destination_; }
    QComboBox* dateForm() const { return dateForm_; }
    QButtonGroup* rules() const { return rules_; }
    QCheckBox* deleteSource() const { return deleteSource_; }
    QCheckBox* autoRotate() const { return autoRotate_; }
    QCheckBox* skipImported() const { return skipImported_; }

private:
    void browse();

    QButtonGroup* rules_;
    QLineEdit* group_;
    QComboBox* dateForm_;
    QComboBox* destination_;
    QPushButton* browse_;
    QLineEdit* subFolder_;
    QCheckBox* deleteSource_;
    QCheckBox* autoRotate_;
    QCheckBox* skipImported_;
};

} // namespace kamelo::acquire
