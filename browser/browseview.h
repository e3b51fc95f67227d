#pragma once

#include "thumblistctrl.h"

#include <QWidget>

#include <functional>

class QComboBox;

namespace kamelo {

// The list host view (right side of the browser frame): the address box on
// top and the thumbnail list below it. Every folder load goes through
// loadFolder, whoever asks for it (address box, list, tree, refresh).
class CBrowseView : public QWidget {
    Q_OBJECT
public:
    explicit CBrowseView(QWidget* parent = nullptr);

    QComboBox* addressBox() const { return address_; }
    CThumbListCtrl* list() const { return list_; }
    // Moves the keyboard focus into the address box's edit field.
    void focusAddress();
    // Lists a folder and shows its path in the address box. False (with the
    // message shown when asked) when the folder cannot be read.
    bool loadFolder(const QString& folder,
                    CThumbListCtrl::Refresh refresh = CThumbListCtrl::Refresh::Normal,
                    bool reportFailure = true);
    QString folder() const { return list_->folder(); }
    // Where typed paths, opened folder items and Backspace go; by default
    // straight to loadFolder (the browser frame routes them through the tree).
    void setNavigator(std::function<bool(const QString&)> go) { navigate_ = std::move(go); }
    bool navigate(const QString& folder) { return navigate_(folder); }

signals:
    void folderShown(const QString& folder);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutChildren();

    QComboBox* address_;
    CThumbListCtrl* list_;
    std::function<bool(const QString&)> navigate_;
};

} // namespace kamelo
