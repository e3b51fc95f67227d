#include "newfolderdialog.h"

#include "resources/qtstrings.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kamelo {

NewFolderDialog::NewFolderDialog(QWidget* parent)
    : QDialog(parent), edit_(new QLineEdit(this)), problem_(new QLabel(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle(res::qtext(res::IDS_NEW_FOLDER_TITLE));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(res::qtext(res::IDS_NEW_FOLDER_PROMPT), this));
    layout->addWidget(edit_);
    layout->addWidget(problem_);
    layout->addWidget(buttons_);
    problem_->setStyleSheet(QStringLiteral("color: #a00000"));
    buttons_->button(QDialogButtonBox::Ok)->setText(res::qtext(res::IDS_OK));
    buttons_->button(QDialogButtonBox::Cancel)->setText(res::qtext(res::IDS_CANCEL));
    edit_->setText(res::qtext(res::IDS_NEW_FOLDER_DEFAULT));
    edit_->selectAll();
    connect(edit_, &QLineEdit::textChanged, this, &NewFolderDialog::validate);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    validate();
}

QString NewFolderDialog::name() const {
    return edit_->text().trimmed();
}

bool NewFolderDialog::isValidName(const QString& name) {
    const QString n = name.trimmed();
    return !n.isEmpty() && !n.contains(QLatin1Char('/')) && n != QLatin1String(".") &&
           n != QLatin1String("..");
}

void NewFolderDialog::validate() {
    const bool ok = isValidName(edit_->text());
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(ok);
    problem_->setText(edit_->text().contains(QLatin1Char('/')) ? res::qtext(res::IDS_NAME_HAS_SLASH)
                                                               : QString());
}

} // namespace kamelo
