#include "associatepage.h"

#include "desktop/associationlist.h"
#include "desktop/core/associations.h"
#include "desktop/programpath.h"
#include "resources/qtstrings.h"

#include <QMessageBox>
#include <QVBoxLayout>

namespace kamelo::prefs {

CAssociatePage::CAssociatePage(SettingsStore& store, QWidget* parent)
    : PreferencePage(parent),
      associations_(std::make_unique<desktop::Associations>(desktop::XdgDirs::fromEnvironment(),
                                                            store, desktop::runningProgramPath())),
      list_(new desktop::AssociationList(desktop::AssociationList::Columns::Page, *associations_,
                                         this)) {
    setObjectName(QStringLiteral("CAssociatePage"));
    setWindowTitle(res::qtext(res::IDS_PREF_ASSOC_PAGE));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    connect(list_, &desktop::AssociationList::rowToggled, this, [this](int row, bool checked) {
        const desktop::AssociationResult r =
            checked ? associations_->associate(row) : associations_->remove(row);
        if (!r.ok)
            QMessageBox::warning(this, res::qtext(res::IDS_APP_TITLE),
                                 QString::fromStdString(r.message));
        list_->showRealState();
    });
}

CAssociatePage::~CAssociatePage() = default;

} // namespace kamelo::prefs
