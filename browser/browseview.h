#pragma once

#include <QWidget>

class QComboBox;

namespace kamelo {

class CThumbListCtrl;

// The list host view (right side of the browser frame): the address box on
// top and the thumbnail list below it.
class CBrowseView : public QWidget {
    Q_OBJECT
public:
    explicit CBrowseView(QWidget* parent = nullptr);

    QComboBox* addressBox() const { return address_; }
    CThumbListCtrl* list() const { return list_; }
    // Moves the keyboard focus into the address box's edit field.
    void focusAddress();

private:
    QComboBox* address_;
    CThumbListCtrl* list_;
};

} // namespace kamelo
