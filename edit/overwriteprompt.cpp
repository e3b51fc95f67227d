#include "overwriteprompt.h"

#include "resources/qtstrings.h"

#include <QMessageBox>
#include <QPushButton>

namespace kamelo::edit {

OverwriteAnswer OverwritePrompt::ask(QWidget* parent, const QString& destination) {
    QMessageBox box(QMessageBox::Question, res::qtext(res::IDS_FILE_EXISTS_CAPTION),
                    res::qtext(res::IDS_FILE_EXISTS_OVERWRITE), QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("overwritePrompt"));
    box.setInformativeText(destination);
    QPushButton* yes = box.addButton(res::qtext(res::IDS_YES), QMessageBox::YesRole);
    QPushButton* yesAll = box.addButton(res::qtext(res::IDS_YES_TO_ALL), QMessageBox::YesRole);
    QPushButton* no = box.addButton(res::qtext(res::IDS_NO), QMessageBox::NoRole);
    QPushButton* noAll = box.addButton(res::qtext(res::IDS_NO_TO_ALL), QMessageBox::NoRole);
    yes->setObjectName(QStringLiteral("yes"));
    yesAll->setObjectName(QStringLiteral("yesToAll"));
    no->setObjectName(QStringLiteral("no"));
    noAll->setObjectName(QStringLiteral("noToAll"));
    box.setDefaultButton(yes);
    // Escape and the close box mean "no": the file is kept.
    box.setEscapeButton(no);
    box.exec();
    const QAbstractButton* clicked = box.clickedButton();
    if (clicked == yes)
        return OverwriteAnswer::Yes;
    if (clicked == yesAll)
        return OverwriteAnswer::YesToAll;
    if (clicked == no)
        return OverwriteAnswer::No;
    if (clicked == noAll)
        return OverwriteAnswer::NoToAll;
    return OverwriteAnswer::Closed;
}

} // namespace kamelo::edit
