#include "acquireoptionspage.h"

#include "acquirewizard.h"
#include "base/settingsstore.h"
#include "import/core/acquirenaming.h"
#include "import/core/saveplaces.h"
#include "namevalidator.h"
#include "platform/fileerrortext.h"
#include "resources/qtstrings.h"
#include "safewrite.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kamelo::acquire {

CAquireOptionsPage::CAquireOptionsPage(QWidget* parent)
    : QWizardPage(parent), rules_(new QButtonGroup(this)), group_(new QLineEdit(this)),
      dateForm_(new QComboBox(this)), destination_(new QComboBox(this)),
      browse_(new QPushButton(res::qtext(res::IDS_BROWSE), this)), subFolder_(new QLineEdit(this)),
      deleteSource_(new QCheckBox(res::qtext(res::IDS_ACQUIRE_DELETE_AFTER), this)),
      autoRotate_(new QCheckBox(res::qtext(res::IDS_ACQUIRE_AUTO_ROTATE), this)),
      skipImported_(new QCheckBox(res::qtext(res::IDS_ACQUIRE_SKIP_IMPORTED), this)) {
    setTitle(res::qtext(res::IDS_ACQUIRE_SAVE_TITLE));
    setSubTitle(res::qtext(res::IDS_ACQUIRE_SAVE_SUBTITLE));
    // Once the copy starts there is no way back to this page.
    setCommitPage(true);
    auto* layout = new QVBoxLayout(this);
    const int ruleTexts[] = {res::IDS_ACQUIRE_KEEP_NAMES, res::IDS_ACQUIRE_GROUP_NAME,
                             res::IDS_ACQUIRE_DATE_NAMES};
    for (int id = 0; id < 3; ++id) {
        auto* radio = new QRadioButton(res::qtext(ruleTexts[id]), this);
        rules_->addButton(radio, id);
        layout->addWidget(radio);
    }
    group_->setValidator(new NameValidator(group_));
    subFolder_->setValidator(new NameValidator(subFolder_));
    dateForm_->addItems({res::qtext(res::IDS_ACQUIRE_DATE_FORM_DASHES),
                         res::qtext(res::IDS_ACQUIRE_DATE_FORM_UNDERSCORES)});
    destination_->setEditable(true);
    destination_->setInsertPolicy(QComboBox::NoInsert);
    auto* form = new QFormLayout;
    form->addRow(res::qtext(res::IDS_ACQUIRE_GROUP_LABEL), group_);
    form->addRow(res::qtext(res::IDS_ACQUIRE_DATE_FORM_LABEL), dateForm_);
    auto* where = new QHBoxLayout;
    where->addWidget(destination_, 1);
    where->addWidget(browse_);
    form->addRow(res::qtext(res::IDS_ACQUIRE_DESTINATION_LABEL), where);
    form->addRow(res::qtext(res::IDS_ACQUIRE_SUBFOLDER_LABEL), subFolder_);
    layout->addLayout(form);
    layout->addWidget(deleteSource_);
    layout->addWidget(autoRotate_);
    layout->addWidget(skipImported_);
    // Files of one run that come to one name are never asked about.
    auto* sameRun = new QLabel(res::qtext(res::IDS_ACQUIRE_SAME_RUN_NOTE), this);
    sameRun->setWordWrap(true);
    layout->addWidget(sameRun);
    layout->addStretch();
    connect(browse_, &QPushButton::clicked, this, &CAquireOptionsPage::browse);
    connect(rules_, &QButtonGroup::idToggled, this, [this] {
        group_->setEnabled(rules_->checkedId() == int(NameRule::GroupName));
        dateForm_->setEnabled(rules_->checkedId() == int(NameRule::DateTaken));
    });
}

void CAquireOptionsPage::initializePage() {
    auto* w = static_cast<CAcquireWizard*>(wizard());
    SettingsStore& s = w->store();
    const int rule = s.getInt(kSection, kKeyNameRule, 0);
    if (QAbstractButton* b = rules_->button(rule >= 0 && rule <= 2 ? rule : 0))
        b->setChecked(true);
    const QString today = QString::fromStdString(todayStamp());
    group_->setText(today);
    subFolder_->setText(today);
    std::array<std::string, kSaveFolderCount> stored;
    for (int i = 0; i < kSaveFolderCount; ++i)
        stored[size_t(i)] = s.getString(kSection, lastSaveFolderKey(i), "");
    destination_->clear();
    for (const std::string& f : destinationList(stored, w->picturesFolder().toStdString()))
        destination_->addItem(QString::fromStdString(f));
    destination_->setCurrentIndex(destination_->count() > 0 ? 0 : -1);
    const bool mayDelete = w->state().device.mayDelete();
    deleteSource_->setChecked(mayDelete && s.getInt(kSection, kKeyDeleteSource, 0) != 0);
    deleteSource_->setEnabled(mayDelete);
    autoRotate_->setChecked(s.getInt(kSection, kKeyAutoRotate, 1) != 0);
    skipImported_->setChecked(s.getInt(kSection, kKeySkipImported, 0) != 0);
    group_->setEnabled(rules_->checkedId() == int(NameRule::GroupName));
    dateForm_->setEnabled(rules_->checkedId() == int(NameRule::DateTaken));
}

void CAquireOptionsPage::browse() {
    const QString start = destination_->currentText();
    const QString folder =
        QFileDialog::getExistingDirectory(this, res::qtext(res::IDS_BROWSE), start);
    if (folder.isEmpty())
        return;
    const int at = destination_->findText(folder);
    if (at >= 0) {
        destination_->setCurrentIndex(at);
    } else {
        destination_->insertItem(0, folder);
        destination_->setCurrentIndex(0);
    }
}

bool CAquireOptionsPage::validatePage() {
    auto* w = static_cast<CAcquireWizard*>(wizard());
    const QString base = QDir::cleanPath(destination_->currentText().trimmed());
    if (destination_->currentText().trimmed().isEmpty()) {
        QMessageBox::warning(this, res::qtext(res::IDS_ACQUIRE_CAPTION),
                             res::qtext(res::IDS_ACQUIRE_NO_DESTINATION));
        return false;
    }
    const QString sub = subFolder_->text().trimmed();
    const QString folder = sub.isEmpty() ? base : QDir::cleanPath(base + QLatin1Char('/') + sub);
    if (const int e = SafeWrite::makeFolders(folder.toStdString())) {
        QMessageBox::warning(this, res::qtext(res::IDS_ACQUIRE_CAPTION),
                             QString::fromStdString(res::format(
                                 res::IDS_ACQUIRE_FOLDER_FAILED, folder.toUtf8().constData(),
                                 FileErrorText::reason(e).toUtf8().constData())));
        return false;
    }
    AcquireState& st = w->state();
    st.destination = QDir(folder).absolutePath();
    st.naming.rule = NameRule(std::max(0, rules_->checkedId()));
    st.naming.groupName = group_->text().toStdString();
    st.naming.dateForm = DateForm(dateForm_->currentIndex() == 1 ? 1 : 0);
    st.deleteSource = deleteSource_->isEnabled() && deleteSource_->isChecked();
    st.autoRotate = autoRotate_->isChecked();
    st.skipImported = skipImported_->isChecked();
    // The date rule reads each camera date from the bytes the copy reads
    // anyway; the other rules name every file now.
    st.names.clear();
    if (st.naming.rule != NameRule::DateTaken)
        for (size_t k = 0; k < st.files.size(); ++k)
            st.names.push_back(destinationName(st.naming, k, st.files[k], {}));

    SettingsStore& s = w->store();
    s.setInt(kSection, kKeyNameRule, int(st.naming.rule));
    // A CD-ROM's disabled box says nothing about the user's choice.
    if (deleteSource_->isEnabled())
        s.setInt(kSection, kKeyDeleteSource, deleteSource_->isChecked() ? 1 : 0);
    s.setInt(kSection, kKeyAutoRotate, st.autoRotate ? 1 : 0);
    s.setInt(kSection, kKeySkipImported, st.skipImported ? 1 : 0);
    std::vector<std::string> list;
    for (int i = 0; i < destination_->count(); ++i)
        list.push_back(destination_->itemText(i).toStdString());
    const auto keep = foldersToStore(base.toStdString(), list);
    for (int i = 0; i < kSaveFolderCount; ++i)
        s.setString(kSection, lastSaveFolderKey(i), keep[size_t(i)]);
    return true;
}

} // namespace kamelo::acquire
