#include "associationdialog.h"

#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "desktop/associationlist.h"
#include "desktop/core/associations.h"
#include "desktop/core/associationtable.h"
#include "desktop/programpath.h"
#include "resources/qtstrings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace kamelo::desktop {

AssociationDialog::AssociationDialog(Associations& associations, SettingsStore& store,
                                     QWidget* parent)
    : QDialog(parent), associations_(associations), store_(store),
      list_(new AssociationList(AssociationList::Columns::Dialog, associations, this)),
      dontAsk_(new QCheckBox(res::qtext(res::IDS_ASSOC_DONT_ASK), this)) {
    setWindowTitle(res::qtext(res::IDS_ASSOC_CAPTION));
    setObjectName(QStringLiteral("AssociationDialog"));
    auto* layout = new QVBoxLayout(this);
#ifdef Q_OS_LINUX
    // Pictures are double-clicked in the file manager here, not in Explorer.
    auto* text = new QLabel(res::qtext(res::IDS_ASSOC_EXPLANATION_LINUX), this);
#else
    auto* text = new QLabel(res::qtext(res::IDS_ASSOC_EXPLANATION), this);
#endif
    text->setWordWrap(true);
    layout->addWidget(text);
    layout->addWidget(list_);
    dontAsk_->setObjectName(QStringLiteral("dontAsk"));
    dontAsk_->setChecked(store.getInt(keys::kGeneralLower, keys::kCheckFileAssociation,
                                      keys::kCheckFileAssociationDefault) == 1);
    layout->addWidget(dontAsk_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(res::qtext(res::IDS_OK), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(res::qtext(res::IDS_CANCEL), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(660, 460);
    list_->setFocus();
}

QStringList AssociationDialog::apply(Associations& associations, const AssociationList& list,
                                     bool removeUnchecked) {
    QStringList failures;
    for (int row = 0; row < AssociationTable::kRows; ++row) {
        AssociationResult r;
        if (list.isRowChecked(row))
            r = associations.associate(row);
        else if (removeUnchecked)
            r = associations.remove(row);
        if (!r.ok && !failures.contains(QString::fromStdString(r.message)))
            failures << QString::fromStdString(r.message);
    }
    return failures;
}

void AssociationDialog::accept() {
    const QStringList failures = apply(associations_, *list_, true);
    store_.setInt(keys::kGeneralLower, keys::kCheckFileAssociation, dontAsk_->isChecked() ? 1 : 0);
    if (!failures.isEmpty())
        QMessageBox::warning(this, res::qtext(res::IDS_APP_TITLE),
                             failures.join(QLatin1Char('\n')));
    QDialog::accept();
}

void AssociationDialog::runStartupCheck(SettingsStore& store, QWidget* parent) {
    if (store.getInt(keys::kGeneralLower, keys::kCheckFileAssociation,
                     keys::kCheckFileAssociationDefault) == 1)
        return;
    Associations associations(XdgDirs::fromEnvironment(), store, runningProgramPath());
    if (associations.allOurs())
        return;
    AssociationDialog dialog(associations, store, parent);
    dialog.exec();
}

} // namespace kamelo::desktop
