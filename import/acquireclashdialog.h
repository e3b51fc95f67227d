#pragma once

#include "import/core/clashstate.h"

#include <QDialog>

class QButtonGroup;
class QLabel;

namespace kamelo::acquire {

class PreviewLoader;

// "파일 가져오기": the existing file and the new one side by side, and the
// four choices; the one taken with "확인" holds for the rest of the run.
// Closing the dialog stops the run.
class CAcquireClashDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplate = 403;
    CAcquireClashDialog(const QString& existing, const QString& source, QWidget* parent = nullptr);
    ClashChoice choice() const;
    QButtonGroup* choices() const { return choices_; }

private:
    QButtonGroup* choices_;
    QLabel* oldPreview_;
    QLabel* newPreview_;
    PreviewLoader* loader_;
};

} // namespace kamelo::acquire
