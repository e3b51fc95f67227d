#pragma once

#include <QWizardPage>

class QLabel;
class QPlainTextEdit;

namespace kamelo::acquire {

// The complete page: success only when every checked file was imported;
// otherwise the counts and the files that failed.
class CAquireCompletePage : public QWizardPage {
    Q_OBJECT
public:
    static constexpr int kTemplate = 397;
    explicit CAquireCompletePage(QWidget* parent = nullptr);
    void initializePage() override;
    QLabel* message() const { return message_; }
    QPlainTextEdit* failures() const { return failures_; }

private:
    QLabel* message_;
    QPlainTextEdit* failures_;
};

} // namespace kamelo::acquire
