#pragma once

#include <QWizardPage>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace kamelo::acquire {

class PreviewLoader;

// The files page: every accepted file of the device with its last write
// time, all checked; the selected one is previewed.
class CAquireFilesPage : public QWizardPage {
    Q_OBJECT
public:
    static constexpr int kTemplate = 394;
    explicit CAquireFilesPage(QWidget* parent = nullptr);
    void initializePage() override;
    bool validatePage() override;
    QTreeWidget* list() const { return list_; }
    QLabel* preview() const { return preview_; }

private:
    void setAllChecked(bool checked);
    void showPreview();

    QTreeWidget* list_;
    QLabel* preview_;
    QPushButton* selectAll_;
    QPushButton* clearAll_;
    PreviewLoader* loader_;
    QString listedDevice_;
    bool listedCamera_ = false;
};

} // namespace kamelo::acquire
