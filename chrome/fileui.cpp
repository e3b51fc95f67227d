#include "chrome/fileui.h"

#include "chrome/namemessagebox.h"
#include "resources/qtstrings.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace kamelo {

bool FileUi::confirm(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, res::qtext(res::IDS_APP_TITLE), QString(),
                    QMessageBox::NoButton, parent);
    NameMessageBox::setText(box, text, parent);
    QPushButton* yes = box.addButton(res::qtext(res::IDS_YES), QMessageBox::YesRole);
    box.addButton(res::qtext(res::IDS_NO), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() == yes;
}

FileOps::Clash FileUi::clash(QWidget* parent, const QString& target) {
    QMessageBox box(QMessageBox::Question, res::qtext(res::IDS_APP_TITLE), QString(),
                    QMessageBox::NoButton, parent);
    NameMessageBox::setText(
        box,
        QString::fromUtf8(res::format(res::IDS_CLASH_QUESTION,
                                      QFileInfo(target).fileName().toUtf8().constData())),
        parent);
    QPushButton* yes = box.addButton(res::qtext(res::IDS_YES), QMessageBox::YesRole);
    QPushButton* no = box.addButton(res::qtext(res::IDS_NO), QMessageBox::NoRole);
    box.addButton(res::qtext(res::IDS_CANCEL), QMessageBox::RejectRole);
    box.setDefaultButton(no);
    box.exec();
    if (box.clickedButton() == yes)
        return FileOps::Clash::Overwrite;
    return box.clickedButton() == no ? FileOps::Clash::Skip : FileOps::Clash::Cancel;
}

void FileUi::error(QWidget* parent, const QString& text) {
    NameMessageBox::warning(parent, res::qtext(res::IDS_APP_TITLE), text);
}

FileUi& FileUi::standard() {
    static FileUi ui;
    return ui;
}

} // namespace kamelo
