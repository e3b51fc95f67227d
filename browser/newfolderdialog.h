#pragma once

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QLineEdit;

namespace kamelo {

// Asks for the name of a new folder; OK only for a name that can be one
// (not empty, no "/").
class NewFolderDialog : public QDialog {
    Q_OBJECT
public:
    explicit NewFolderDialog(QWidget* parent = nullptr);
    QString name() const;
    QLineEdit* edit() const { return edit_; }
    static bool isValidName(const QString& name);

private:
    void validate();

    QLineEdit* edit_;
    QLabel* problem_;
    QDialogButtonBox* buttons_;
};

} // namespace kamelo
