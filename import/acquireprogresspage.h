#pragma once

#include <QWizardPage>

class QLabel;
class QLineEdit;
class QProgressBar;

namespace kamelo::acquire {

class PreviewLoader;

// The progress page: starts the copy worker, shows the name and a preview
// of each file as it is written, asks about name clashes, and moves on to
// the complete page when the run ends.
class CAquireProgressPage : public QWizardPage {
    Q_OBJECT
public:
    static constexpr int kTemplate = 396;
    explicit CAquireProgressPage(QWidget* parent = nullptr);
    void initializePage() override;
    bool isComplete() const override { return finished_; }

    QLineEdit* fileName() const { return fileName_; }
    QProgressBar* bar() const { return bar_; }

private:
    void askClash(const QString& existing, const QString& source);

    QLineEdit* fileName_;
    QLabel* preview_;
    QProgressBar* bar_;
    PreviewLoader* loader_;
    bool finished_ = false;
};

} // namespace kamelo::acquire
