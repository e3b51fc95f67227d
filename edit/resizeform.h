#pragma once

#include "edit/core/resizerule.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kamelo::edit {

// The resize choices shared by the browser's dialog and the viewer's panel:
// by percent or by size, keep ratio and fitted side, the resampling method,
// and (the browser's dialog only) where to write.
class ResizeForm : public QWidget {
    Q_OBJECT
public:
    explicit ResizeForm(bool withSaveGroup, QWidget* parent = nullptr);

    void setSettings(const ResizeSettings& s);
    // What the controls hold; an empty number edit reads as 0, no method
    // chosen as interpolation -1.
    ResizeSettings settings() const;
    void setFolder(const QString& folder);
    QString folder() const;
    bool hasSaveGroup() const { return saveGroup_ != nullptr; }
    // "" when the choices can be used, else the message that says why not.
    QString problem() const;

private:
    void updateEnabling();
    void chooseFolder();

    QRadioButton* byPercent_ = nullptr;
    QRadioButton* bySize_ = nullptr;
    QLineEdit* percent_ = nullptr;
    QLabel* percentSign_ = nullptr;
    QLineEdit* width_ = nullptr;
    QLineEdit* height_ = nullptr;
    QCheckBox* keepRatio_ = nullptr;
    QLabel* fitLabel_ = nullptr;
    QComboBox* fitSide_ = nullptr;
    QComboBox* method_ = nullptr;
    QGroupBox* saveGroup_ = nullptr;
    QRadioButton* overwrite_ = nullptr;
    QRadioButton* toFolder_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QPushButton* browse_ = nullptr;
};

} // namespace kamelo::edit
