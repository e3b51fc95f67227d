#pragma once

#include <QDialog>

class QLineEdit;

namespace kamelo {

// "확대/축소 비율 입력": one field that takes digits only.
class ZoomRatioDialog : public QDialog {
    Q_OBJECT
public:
    ZoomRatioDialog(int percent, QWidget* parent = nullptr);
    int percent() const;
    QLineEdit* edit() const { return edit_; }

private:
    QLineEdit* edit_;
};

} // namespace kamelo
