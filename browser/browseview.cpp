#include "browseview.h"

#include "thumblistctrl.h"

#include "app/core/pictureextensions.h"
#include "platform/nameorder.h"
#include "resources/qtstrings.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

namespace kamelo {

CBrowseView::CBrowseView(QWidget* parent)
    : QWidget(parent), address_(new QComboBox(this)), list_(new CThumbListCtrl(this)) {
    setObjectName(QStringLiteral("CBrowseView"));
    address_->setEditable(true);
    address_->setObjectName(QStringLiteral("addressBox"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    layout->addWidget(address_);
    layout->addWidget(list_, 1);
    setMinimumSize(0, 0);
    connect(address_->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        const QString typed = address_->currentText().trimmed();
        if (typed.isEmpty() || showFolder(typed))
            return;
        QMessageBox::warning(this, res::qtext(res::IDS_APP_TITLE),
                             res::qtext(res::IDS_MSG_FOLDER_OBJECT_FAILED));
        address_->setEditText(folder_);
    });
}

bool CBrowseView::showFolder(const QString& folder) {
    QDir dir(folder);
    if (!dir.exists() || !dir.isReadable())
        return false;
    QStringList folders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QStringList files = dir.entryList(QDir::Files);
    NameOrder::sort(folders);
    NameOrder::sort(files);
    QList<CThumbListCtrl::Entry> entries;
    QDir parent(dir);
    entries.append(
        {parent.cdUp() ? parent.absolutePath() : dir.absolutePath(), CThumbListCtrl::Kind::Parent});
    for (const QString& name : folders)
        entries.append({dir.absoluteFilePath(name), CThumbListCtrl::Kind::Folder});
    for (const QString& name : files) {
        const QString full = dir.absoluteFilePath(name);
        if (PictureExtensions::isPicturePath(full.toStdString()))
            entries.append({full, CThumbListCtrl::Kind::Picture});
    }
    list_->setEntries(entries);
    list_->setCurrentRow(0);
    folder_ = dir.absolutePath();
    address_->setEditText(QDir::toNativeSeparators(folder_));
    emit folderShown(folder_);
    return true;
}

void CBrowseView::focusAddress() {
    address_->setFocus();
    if (address_->lineEdit())
        address_->lineEdit()->selectAll();
}

} // namespace kamelo
