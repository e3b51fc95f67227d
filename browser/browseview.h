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
    // Lists a folder: the parent entry, the sub-folders, then the pictures,
    // each group in name order; item 0 selected. False (and the list left as
    // it was) when the folder cannot be read.
    bool showFolder(const QString& folder);
    QString folder() const { return folder_; }

signals:
    void folderShown(const QString& folder);

private:
    QComboBox* address_;
    CThumbListCtrl* list_;
    QString folder_;
};

} // namespace kamelo
