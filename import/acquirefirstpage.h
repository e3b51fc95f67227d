#pragma once

#include <QWizardPage>

namespace kamelo::acquire {

// The welcome page.
class CAquireFirstPage : public QWizardPage {
    Q_OBJECT
public:
    static constexpr int kTemplate = 390;
    explicit CAquireFirstPage(QWidget* parent = nullptr);
};

} // namespace kamelo::acquire
